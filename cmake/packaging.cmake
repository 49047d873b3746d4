# Desktop integration (the entry under the application id, the scalable icon, AppStream metainfo,
# file-manager actions), the Debian documentation files and the CPack settings that turn an install into
# orvane_<version>_<arch>.deb. tools/package.sh drives it. Included from the top-level CMakeLists.txt.

# The maker's addresses (src/addresses.cmake sets only cache variables; src/ reads it when it builds the GUI).
include(${PROJECT_SOURCE_DIR}/src/addresses.cmake)

# The reverse-DNS application id: the name of the desktop entry, the metainfo and the Dolphin service menu.
set(ORVANE_APP_ID "co.sablewickfern.Orvane")
set(ORVANE_PACKAGE_MAINTAINER "Sablewickfern <orvane@sablewickfern.co>"
    CACHE STRING "Maintainer field of the Debian package: name <e-mail>")

set(orvane_resources ${PROJECT_SOURCE_DIR}/resources)
set(orvane_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(orvane_generated ${PROJECT_BINARY_DIR}/packaging)
set(orvane_docdir ${CMAKE_INSTALL_DATADIR}/doc/orvane)

# The version lives in project(); the Debian changelog and the metainfo's newest release must name it too.
file(STRINGS ${orvane_packaging}/changelog orvane_changelog_head LIMIT_COUNT 1)
if(NOT orvane_changelog_head MATCHES "^orvane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog begins with \"${orvane_changelog_head}\": its newest entry "
        "must be for version ${PROJECT_VERSION}")
endif()
file(READ ${orvane_resources}/${ORVANE_APP_ID}.metainfo.xml orvane_metainfo)
if(NOT orvane_metainfo MATCHES "<releases>[ \t\r\n]*<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "the first <release> of resources/${ORVANE_APP_ID}.metainfo.xml must be version "
        "${PROJECT_VERSION}")
endif()

if(ORVANE_BUILD_GUI)
    # The entry's file name is the application id, which software centres and Wayland compositors match
    # with the metainfo and the running program.
    install(FILES ${orvane_resources}/${ORVANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    install(FILES ${orvane_resources}/icons/orvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    configure_file(${orvane_resources}/${ORVANE_APP_ID}.metainfo.xml
        ${orvane_generated}/${ORVANE_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${orvane_generated}/${ORVANE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # Check, Tag and Retag with Orvane in the context menus of Dolphin and Nemo. Dolphin (KDE Frameworks
    # 5.85 and later) passes over a service menu that is not executable unless it trusts the folder it lies
    # in; with the bit set it is shown wherever it lies, a copy in the user's own folder too.
    install(FILES ${orvane_resources}/filemanager/dolphin/${ORVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kio/servicemenus
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    install(FILES
        ${orvane_resources}/filemanager/nemo/orvane-check.nemo_action
        ${orvane_resources}/filemanager/nemo/orvane-tag.nemo_action
        ${orvane_resources}/filemanager/nemo/orvane-retag.nemo_action
        DESTINATION ${CMAKE_INSTALL_DATADIR}/nemo/actions)
endif()

# Debian keeps a package's copyright (machine-readable format) and its changelog, compressed with gzip -9n
# so that the bytes do not depend on the time of the build, in /usr/share/doc/<package>.
configure_file(${orvane_packaging}/copyright ${orvane_generated}/copyright @ONLY)
find_program(ORVANE_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${orvane_generated}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${orvane_packaging}/changelog ${orvane_generated}/changelog
    COMMAND ${ORVANE_GZIP} -9nf ${orvane_generated}/changelog
    DEPENDS ${orvane_packaging}/changelog
    COMMENT "Compressing the Debian changelog"
    VERBATIM)
add_custom_target(orvane_changelog ALL DEPENDS ${orvane_generated}/changelog.gz)
install(FILES ${orvane_generated}/copyright ${orvane_generated}/changelog.gz DESTINATION ${orvane_docdir})
if(ORVANE_BUILD_GUI)
    # Registers the manual that src/gui.cmake installs with doc-base, so documentation browsers list it.
    set(ORVANE_MANUAL_PATH ${CMAKE_INSTALL_FULL_DATADIR}/doc/orvane/OrvaneHelp.pdf)
    configure_file(${orvane_packaging}/doc-base ${orvane_generated}/doc-base @ONLY)
    install(FILES ${orvane_generated}/doc-base DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base RENAME orvane)
endif()
install(FILES ${orvane_packaging}/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME orvane)

# The Debian package. Its dependencies come from dpkg-shlibdeps, run on the installed binaries; Qt loads
# its platform plugins at run time, where dpkg-shlibdeps cannot see them, so qt6-qpa-plugins is named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR Sablewickfern)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file integrity checker keeping SHA-256 digests in extended attributes")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Orvane keeps each file's SHA-256 digest in an extended attribute of the file
itself and later tells whether the file's contents still match it. There is
no database and no side file, and Orvane never writes a file's contents.

Check compares every file's digest with the stored one and writes nothing;
Tag stores every file's digest; Retag stores a digest where none is stored or
the stored one differs.

This package holds the desktop application orvane, the command orvane-cli,
and Check, Tag and Retag actions for the Dolphin and Nemo file managers.]=])
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ORVANE_SUPPORT_URL}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(ORVANE_BUILD_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    # The report's marks come in colour only from a colour emoji font; without one they are empty boxes.
    # bash-completion makes the installed completion of orvane-cli work in new shells.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-color-emoji, bash-completion")
else()
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
endif()
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_ORVANE_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/stripbinaries.cmake)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
