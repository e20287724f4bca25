# Run by CPack on the files it is about to pack: strips the programs as a Debian package build
# does (dh_strip), which leaves out the compiler's notes as well as the symbols.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT programs)
    message(FATAL_ERROR "no programs to strip in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
foreach(program IN LISTS programs)
    execute_process(
        COMMAND strip --remove-section=.comment --remove-section=.note ${program}
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
