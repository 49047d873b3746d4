# The desktop application orvane: the window side of the runner, the report view, documents and windows and
# the application shell, on top of orvane_core. Included from src/CMakeLists.txt.

find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets)

add_library(orvane_gui STATIC
    app/showerror.cpp
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
    report/savedialog.cpp
)
set_target_properties(orvane_gui PROPERTIES AUTOMOC ON)
target_link_libraries(orvane_gui PUBLIC orvane_core Qt6::Widgets)
target_compile_definitions(orvane_gui
    PUBLIC QT_NO_CAST_TO_ASCII QT_NO_FOREACH QT_USE_QSTRINGBUILDER QT_NO_URL_CAST_FROM_STRING)
