# Helpers and the installed layout shared by the packaging checks.

set(INSTALLED_FILES
    usr/bin/kestrane
    usr/share/applications/example.norvale.Kestrane.desktop
    usr/share/icons/hicolor/scalable/apps/example.norvale.Kestrane.svg
    usr/share/metainfo/example.norvale.Kestrane.metainfo.xml)

# Finds a program or fails naming the Debian package that provides it.
function(require_tool variable name package)
    find_program(${variable} ${name})
    if(NOT ${variable})
        message(FATAL_ERROR "${name} is missing: install the Debian package ${package} (tools/dev test does)")
    endif()
endfunction()

# Runs a command; fails with its output unless it exits with 0. The output is left in run_output.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        list(JOIN ARGN " " command)
        message(FATAL_ERROR "${command} failed (${result}):\n${output}")
    endif()
    set(run_output "${output}" PARENT_SCOPE)
endfunction()

function(require_installed_files root)
    foreach(file IN LISTS INSTALLED_FILES)
        if(NOT EXISTS ${root}/${file})
            message(FATAL_ERROR "${file} is missing under ${root}")
        endif()
    endforeach()
endfunction()
