# nudger_refuse_includes(TARGET PATTERN SOURCE...): before TARGET builds,
# fails the build when one of the sources includes a header whose name starts
# with PATTERN (a regular expression, such as "xcb/|QtDBus"). For headers a
# layer must not use that lie on the system's include path all the same, so
# that leaving out a library does not keep them out. Checked again whenever
# one of the sources changes.
#
# Run as a script (cmake -DPATTERN=... -DSTAMP=... -P refuse-includes.cmake
# -- SOURCE...), it is the check itself.
if(CMAKE_SCRIPT_MODE_FILE)
    set(refused "")
    set(listing OFF)
    foreach(i RANGE ${CMAKE_ARGC})
        if(listing AND DEFINED CMAKE_ARGV${i})
            file(STRINGS "${CMAKE_ARGV${i}}" lines
                 REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](${PATTERN})")
            foreach(line IN LISTS lines)
                string(APPEND refused "\n  ${CMAKE_ARGV${i}}: ${line}")
            endforeach()
        elseif("${CMAKE_ARGV${i}}" STREQUAL "--")
            set(listing ON)
        endif()
    endforeach()
    if(refused)
        message(FATAL_ERROR "these includes belong in another layer:${refused}")
    endif()
    file(TOUCH "${STAMP}")
    return()
endif()

function(nudger_refuse_includes target pattern)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_includes.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DPATTERN=${pattern} -DSTAMP=${stamp}
                -P ${PROJECT_SOURCE_DIR}/tools/refuse-includes.cmake -- ${ARGN}
        DEPENDS ${ARGN} ${PROJECT_SOURCE_DIR}/tools/refuse-includes.cmake
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Checking the includes of ${target}"
        VERBATIM)
    add_custom_target(${target}_includes DEPENDS ${stamp})
    add_dependencies(${target} ${target}_includes)
endfunction()
