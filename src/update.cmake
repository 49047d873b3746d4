# The update check run at launch, with the error alert it reports through. A library of its own so that
# the application links it and tests drive it against a server on the loopback interface.
find_package(Qt6 REQUIRED COMPONENTS Core Network Widgets)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)

add_library(orvane_update STATIC
    app/showerror.cpp
    app/showerror.h
    app/updatecheck.cpp
    app/updatecheck.h
    app/updatemanifest.cpp
    app/updatemanifest.h
    app/updateoffer.cpp
    app/updateoffer.h
)
set_target_properties(orvane_update PROPERTIES AUTOMOC ON)
target_include_directories(orvane_update PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orvane_update PUBLIC Qt6::Core Qt6::Network Qt6::Widgets PRIVATE PkgConfig::PLIST)
target_compile_definitions(orvane_update PRIVATE
    ORVANE_UPDATE_MANIFEST_URL_DEFAULT="${ORVANE_UPDATE_MANIFEST_URL_DEFAULT}"
    ORVANE_DOWNLOAD_BASE_URL_DEFAULT="${ORVANE_DOWNLOAD_BASE_URL_DEFAULT}"
    QT_NO_CAST_TO_ASCII QT_NO_FOREACH QT_USE_QSTRINGBUILDER QT_NO_URL_CAST_FROM_STRING
)
