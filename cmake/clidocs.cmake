# The command line's documentation and shell integration: the man pages (compressed with gzip -9n at build
# time, as Debian keeps them), the bash and zsh completions of orvane-cli, the JSON Lines schema and the
# example systemd units. Included from the top-level CMakeLists.txt.

find_program(ORVANE_GZIP gzip REQUIRED)
set(orvane_man_pages orvane-cli)
if(ORVANE_BUILD_GUI)
    list(APPEND orvane_man_pages orvane)
endif()
set(orvane_man_built ${PROJECT_BINARY_DIR}/man)
set(orvane_man_gz)
foreach(page IN LISTS orvane_man_pages)
    add_custom_command(OUTPUT ${orvane_man_built}/${page}.1.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/man/${page}.1 ${orvane_man_built}/${page}.1
        COMMAND ${ORVANE_GZIP} -9nf ${orvane_man_built}/${page}.1
        DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.1
        COMMENT "Compressing the man page ${page}(1)"
        VERBATIM)
    list(APPEND orvane_man_gz ${orvane_man_built}/${page}.1.gz)
endforeach()
add_custom_target(orvane_man_pages ALL DEPENDS ${orvane_man_gz})
install(FILES ${orvane_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Where bash-completion and zsh look for the completions of installed commands.
install(FILES ${PROJECT_SOURCE_DIR}/completions/orvane-cli.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME orvane-cli)
install(FILES ${PROJECT_SOURCE_DIR}/completions/_orvane-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

install(FILES ${PROJECT_SOURCE_DIR}/docs/jsonl.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvane)
install(FILES ${PROJECT_SOURCE_DIR}/contrib/systemd/orvane-check@.service
    ${PROJECT_SOURCE_DIR}/contrib/systemd/orvane-check@.timer
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvane/examples/systemd)
