# Tests of the update check: its rules as tables, generated manifests for the reader, and the whole check
# against a server on the loopback interface.
find_package(Qt6 REQUIRED COMPONENTS Network)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0) # the fixtures write binary manifests

add_library(orvane_update_testsupport STATIC support/cannedhttpserver.cpp support/manifestfixtures.cpp)
target_include_directories(orvane_update_testsupport PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(orvane_update_testsupport PUBLIC orvane_update Qt6::Network PkgConfig::PLIST)

orvane_add_test(tst_updatecheck_rules unit/tst_updatecheck_rules.cpp)
orvane_add_test(tst_updatecheck_fuzz unit/tst_updatecheck_fuzz.cpp)
orvane_add_test(tst_updatecheck unit/tst_updatecheck.cpp)
foreach(test tst_updatecheck_rules tst_updatecheck_fuzz tst_updatecheck)
    target_link_libraries(${test} PRIVATE orvane_update_testsupport)
endforeach()
# The rules test compares the addresses with the build's own.
target_compile_definitions(tst_updatecheck_rules PRIVATE
    ORVANE_UPDATE_MANIFEST_URL_DEFAULT="${ORVANE_UPDATE_MANIFEST_URL_DEFAULT}"
    ORVANE_DOWNLOAD_BASE_URL_DEFAULT="${ORVANE_DOWNLOAD_BASE_URL_DEFAULT}")
