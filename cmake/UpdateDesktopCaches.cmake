# Run by `cmake --install`: makes the installed project file type and the menu entry's file
# associations take effect at once. Skipped when staging into DESTDIR for a package, whose own
# triggers do this on the target machine. QUINTAREL_INSTALL_DATADIR is set by the install step.
if(NOT "$ENV{DESTDIR}" STREQUAL "")
    return()
endif()
if(IS_ABSOLUTE "${QUINTAREL_INSTALL_DATADIR}")
    set(data "${QUINTAREL_INSTALL_DATADIR}")
else()
    set(data "${CMAKE_INSTALL_PREFIX}/${QUINTAREL_INSTALL_DATADIR}")
endif()

# Runs `tool` on the installed `folder` when the tool is there; a failure only warns.
function(quintarel_update_cache tool folder)
    find_program(program_${tool} ${tool})
    if(NOT program_${tool})
        return()
    endif()
    execute_process(COMMAND "${program_${tool}}" "${folder}" RESULT_VARIABLE failed)
    if(failed)
        message(WARNING "${tool} ${folder} failed")
    endif()
endfunction()

quintarel_update_cache(update-mime-database "${data}/mime")
quintarel_update_cache(update-desktop-database "${data}/applications")
