# Installation as a desktop program:
#
#   bin/nudger                                   launcher: the user's own start
#                                                directory, then the program
#   libexec/nudger/Nudger                        the program
#   share/nudger/nudger.dat, Manual.html         linked from each start directory
#   share/applications/nudger.desktop            menu entry
#   share/icons/hicolor/32x32/apps/nudger.png    icon
#
# The launcher finds the installation from its own place, so
# `cmake --install <build> --prefix <p>` may choose any prefix; the menu
# entry names the launcher by the prefix used at install time.
include(GNUInstallDirs)

set(NUDGER_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/nudger)
set(NUDGER_DATA_DIR ${CMAKE_INSTALL_DATADIR}/nudger)
file(RELATIVE_PATH NUDGER_BIN_TO_PREFIX /prefix/${CMAKE_INSTALL_BINDIR} /prefix)

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
