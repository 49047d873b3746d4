# Run by CPack on the staged install, before it packs: strips the programs as Debian's dh_strip does, which
# also drops the .comment and .note sections (the compiler's version strings) that a plain strip keeps.
file(GLOB orvane_programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT orvane_programs)
    message(FATAL_ERROR "no programs to strip in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin")
endif()
foreach(program IN LISTS orvane_programs)
    execute_process(
        COMMAND "${CPACK_ORVANE_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "cannot strip ${program}")
    endif()
endforeach()
