# The desktop application orvane: the window side of the runner, the report view, documents and windows and
# the application shell, on top of orvane_core. Included from src/CMakeLists.txt.

find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Pdf PdfWidgets)

# Build tools that make the manual and the icon during the build. They run on the build machine only, so
# they are built without the sanitizers of the ci and tsan presets.
foreach(tool makemanual makeicon)
    add_executable(orvane-${tool} ${PROJECT_SOURCE_DIR}/tools/${tool}/${tool}.cpp)
    target_link_libraries(orvane-${tool} PRIVATE Qt6::Gui)
    target_compile_options(orvane-${tool} PRIVATE -fno-sanitize=all)
    target_link_options(orvane-${tool} PRIVATE -fno-sanitize=all)
endforeach()

set(ORVANE_MANUAL ${CMAKE_CURRENT_BINARY_DIR}/resources/OrvaneHelp.pdf)
add_custom_command(OUTPUT ${ORVANE_MANUAL}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/resources
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:orvane-makemanual> ${PROJECT_SOURCE_DIR}/resources/manual/OrvaneHelp.md ${ORVANE_MANUAL}
    DEPENDS orvane-makemanual ${PROJECT_SOURCE_DIR}/resources/manual/OrvaneHelp.md
    COMMENT "Typesetting the manual OrvaneHelp.pdf"
    VERBATIM)

set(ORVANE_ICONS)
foreach(size 48 128 256)
    set(icon ${CMAKE_CURRENT_BINARY_DIR}/resources/icons/${size}/orvane.png)
    add_custom_command(OUTPUT ${icon}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/resources/icons/${size}
        COMMAND $<TARGET_FILE:orvane-makeicon> ${size} ${icon}
        DEPENDS orvane-makeicon
        COMMENT "Drawing the ${size}x${size} icon"
        VERBATIM)
    list(APPEND ORVANE_ICONS ${icon})
endforeach()
# The 256 pixel icon goes into the program; the others only into the installed icon theme.
add_custom_target(orvane_icons ALL DEPENDS ${ORVANE_ICONS})

add_library(orvane_gui STATIC
    app/appdelegate.cpp
    app/helpviewcontroller.cpp
    app/helpwindow.cpp
    app/mainmenu.cpp
    app/recentitems.cpp
    app/startwindow.cpp
    document/document.cpp
    document/documentwindow.cpp
    document/itemurl.cpp
    operations/busyindicator.cpp
    operations/mailbox.cpp
    operations/runner.cpp
    operations/viewcontroller.cpp
    report/fontsize.cpp
    report/reportfile.cpp
    report/reportview.cpp
    report/reportviewaccessible.cpp
    report/savedialog.cpp
)
set_target_properties(orvane_gui PROPERTIES AUTOMOC ON)
target_link_libraries(orvane_gui PUBLIC orvane_core orvane_update Qt6::Widgets Qt6::Pdf Qt6::PdfWidgets)
target_compile_definitions(orvane_gui
    PUBLIC QT_NO_CAST_TO_ASCII QT_NO_FOREACH QT_USE_QSTRINGBUILDER QT_NO_URL_CAST_FROM_STRING
    PRIVATE ORVANE_SUPPORT_URL="${ORVANE_SUPPORT_URL}"
            ORVANE_UPDATES_URL_EL_CAPITAN="${ORVANE_UPDATES_URL_EL_CAPITAN}"
            ORVANE_UPDATES_URL_SIERRA="${ORVANE_UPDATES_URL_SIERRA}")
# The manual and the icon are built into the program (and into every test that links orvane_gui).
qt_add_resources(orvane_gui "orvane_help" PREFIX "/help" BASE ${CMAKE_CURRENT_BINARY_DIR}/resources
    FILES ${ORVANE_MANUAL})
qt_add_resources(orvane_gui "orvane_icon" PREFIX "/icons" BASE ${CMAKE_CURRENT_BINARY_DIR}/resources/icons/256
    FILES ${CMAKE_CURRENT_BINARY_DIR}/resources/icons/256/orvane.png)

add_executable(orvane app/main.cpp)
target_link_libraries(orvane PRIVATE orvane_gui)
target_compile_definitions(orvane PRIVATE ORVANE_VERSION="${PROJECT_VERSION}")

install(TARGETS orvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/orvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 48 128 256)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/resources/icons/${size}/orvane.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${ORVANE_MANUAL} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvane)
