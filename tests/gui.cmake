# Tests of the desktop application: real windows on the offscreen platform over real files and attributes.
# They carry the label "gui"; tools/test.sh runs them once more under ThreadSanitizer.

find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(orvane_guitestsupport STATIC gui/guifixtures.cpp)
target_include_directories(orvane_guitestsupport PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/gui)
target_link_libraries(orvane_guitestsupport PUBLIC orvane_testsupport orvane_app Qt6::Widgets Qt6::Test)
target_compile_definitions(orvane_guitestsupport PRIVATE ORVANE_VERSION="${PROJECT_VERSION}")

function(orvane_add_gui_test name)
    orvane_add_test(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE orvane_guitestsupport)
    set_tests_properties(${name} PROPERTIES LABELS "gui")
endfunction()

orvane_add_gui_test(tst_runner gui/tst_runner.cpp)
orvane_add_gui_test(tst_reportview gui/tst_reportview.cpp)
orvane_add_gui_test(tst_document gui/tst_document.cpp)
orvane_add_gui_test(tst_appdelegate gui/tst_appdelegate.cpp gui/desktopfixtures.h)
orvane_add_gui_test(tst_helpwindow gui/tst_helpwindow.cpp)
# The maker's pages as the build sets them, to check that Help opens these very addresses.
target_compile_definitions(tst_appdelegate PRIVATE
    ORVANE_SUPPORT_URL="${ORVANE_SUPPORT_URL}"
    ORVANE_UPDATES_URL="${ORVANE_UPDATES_URL}")
# The hand-over starts the program itself, twice.
target_compile_definitions(tst_appdelegate PRIVATE ORVANE_PATH="$<TARGET_FILE:orvane>" ORVANE_VERSION="${PROJECT_VERSION}"
    CLI_PATH="$<TARGET_FILE:orvane-cli>")
add_dependencies(tst_appdelegate orvane orvane-cli)
# Its launch runs the update check against a server on the loopback interface.
target_link_libraries(tst_appdelegate PRIVATE orvane_update_testsupport)
