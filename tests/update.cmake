# The update check's test: the whole check against a server on the loopback interface, and generated
# manifests for the reader. The fixtures are headers; libplist writes their binary manifests.
find_package(Qt6 REQUIRED COMPONENTS Network)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)

add_library(orvane_update_testsupport INTERFACE)
target_include_directories(orvane_update_testsupport INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(orvane_update_testsupport INTERFACE orvane_update Qt6::Network PkgConfig::PLIST)

orvane_add_test(tst_updatecheck unit/tst_updatecheck.cpp)
target_link_libraries(tst_updatecheck PRIVATE orvane_update_testsupport)
