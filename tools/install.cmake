# Installation as a desktop program:
#
#   bin/nudger                                   launcher: the user's own start
#                                                directory, then the program
#   libexec/nudger/Nudger                        the program
#   share/nudger/nudger.dat, Manual.html         linked from each start directory
#   share/applications/nudger.desktop            menu entry
#   share/icons/hicolor/32x32/apps/nudger.png    icon
#   share/metainfo/<id>.metainfo.xml            software-centre entry
#   share/man/man1/nudger.1.gz                   manual page of the launcher
#
# The launcher finds the installation from its own place, so
# `cmake --install <build> --prefix <p>` may choose any prefix; the menu
# entry names the launcher by the prefix used at install time.
include(GNUInstallDirs)

set(NUDGER_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/nudger)
set(NUDGER_DATA_DIR ${CMAKE_INSTALL_DATADIR}/nudger)
file(RELATIVE_PATH NUDGER_BIN_TO_PREFIX /prefix/${CMAKE_INSTALL_BINDIR} /prefix)

set(NUDGER_APPSTREAM_ID org.example.nudger)
set(NUDGER_HOMEPAGE https://nudger.example.org)
# The release date of the metainfo and the manual page: today, or the time
# SOURCE_DATE_EPOCH gives (tools/package.sh passes the last commit's).
string(TIMESTAMP NUDGER_RELEASE_DATE "%Y-%m-%d" UTC)

install(TARGETS Nudger RUNTIME DESTINATION ${NUDGER_PROGRAM_DIR})
install(FILES ${CMAKE_BINARY_DIR}/nudger.dat ${PROJECT_SOURCE_DIR}/resources/Manual.html
        DESTINATION ${NUDGER_DATA_DIR})
install(FILES ${CMAKE_BINARY_DIR}/app_bitmap.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME nudger.png)

configure_file(${CMAKE_CURRENT_LIST_DIR}/nudger.sh.in ${CMAKE_BINARY_DIR}/install/nudger @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/install/nudger DESTINATION ${CMAKE_INSTALL_BINDIR})

# The menu entry is written when installing, once the prefix is known.
install(CODE "
    set(launcher \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/nudger\")
    if(launcher MATCHES \"[ \\\"\\\\\\\\`$]\")
        string(REGEX REPLACE \"([\\\"\\\\\\\\`$])\" \"\\\\\\\\\\\\1\" launcher \"\${launcher}\")
        set(NUDGER_DESKTOP_EXEC \"\\\"\${launcher}\\\"\")
    else()
        set(NUDGER_DESKTOP_EXEC \"\${launcher}\")
    endif()
    configure_file(\"${CMAKE_CURRENT_LIST_DIR}/nudger.desktop.in\"
                   \"${CMAKE_BINARY_DIR}/install/nudger.desktop\" @ONLY)
")
install(FILES ${CMAKE_BINARY_DIR}/install/nudger.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${CMAKE_CURRENT_LIST_DIR}/nudger.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/install/${NUDGER_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/${NUDGER_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# nudger_configure_gzipped(<template> <output>): configure_file with @ONLY,
# then compress the result to <output>.gz as Debian wants manual pages and
# changelogs: best compression, no name or time stamp in the header, so that
# equal texts give equal files.
find_program(NUDGER_GZIP gzip REQUIRED)
function(nudger_configure_gzipped template output)
    configure_file(${template} ${output} @ONLY)
    execute_process(COMMAND ${NUDGER_GZIP} -9 -n -c ${output}
                    OUTPUT_FILE ${output}.gz
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "gzip could not compress ${output}: ${result}")
    endif()
endfunction()

nudger_configure_gzipped(${CMAKE_CURRENT_LIST_DIR}/nudger.1.in ${CMAKE_BINARY_DIR}/install/nudger.1)
install(FILES ${CMAKE_BINARY_DIR}/install/nudger.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
