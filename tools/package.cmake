# The Debian package nudger_<version>_<arch>.deb, built by `cpack -G DEB` in a
# Release build configured with the prefix /usr; tools/package.sh does both
# from a clean checkout and checks the result. It holds what install.cmake
# installs, plus the copyright file and the changelog every Debian package
# carries. The version is the project's.

set(NUDGER_MAINTAINER "The Nudger developers <developers@nudger.example.org>")
string(TIMESTAMP NUDGER_RELEASE_TIME "%a, %d %b %Y %H:%M:%S +0000" UTC)

set(NUDGER_PACKAGE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/nudger)
nudger_configure_gzipped(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${CMAKE_BINARY_DIR}/package/changelog)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
        DESTINATION ${NUDGER_PACKAGE_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nudger)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${NUDGER_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${NUDGER_HOMEPAGE})
# Install with the prefix the build was configured with, so that the menu
# entry names the launcher where the package puts it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

# The libraries the program links come from dpkg-shlibdeps. What it cannot
# see: the Wayland platform plugin, which Qt loads by name in a Wayland
# session (without it Qt runs on X11 through XWayland), libpulse, which the
# program loads when it first plays the nudge sound (without it the nudge is
# silent), xdg-open, which the About window runs to open the web address, and
# Enchant, which the program loads once its window shows to check spelling,
# with a dictionary: the writer's language's, which apt offers as one of the
# hunspell-dictionary packages (without them Check Spelling is greyed and
# says what to install).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SQLite holds the history; the program loads it when the history is first
# used, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsqlite3-0 (>= 3.40)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, libpulse0, xdg-utils, libenchant-2-2, hunspell-en-us | hunspell-dictionary")

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "writing aid that suggests what to write when you stop")
# CPack puts the summary first, as the synopsis, then these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Nudger is a small desktop writing aid for one writer at a time. Its single
window holds your text below a read-only area that shows one writing
suggestion at a time. When the text has not changed for the nudge interval
(5 to 300 seconds), Nudger nudges you with a new suggestion and, with sound
on, a short sound that repeats until you type again.
.
Your text lives in a plain-text file that is saved on request and every 30
seconds, with an optional backup copy. Suggestions come from a built-in
collection and from your own list, in order or at random.")

include(CPack)
