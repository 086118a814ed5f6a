# Run by CPack once the package's files are staged (CPACK_PRE_BUILD_SCRIPTS): removes the
# compiler's .comment and .note sections from the programs, as dh_strip does for Debian's own
# packages. CPACK_STRIP_FILES has taken the symbols already.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT programs)
    message(FATAL_ERROR "no programs staged in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
foreach(program IN LISTS programs)
    execute_process(COMMAND ${CPACK_TORVAN_STRIP} --remove-section=.comment --remove-section=.note ${program}
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
