# The Debian package: cpack -G DEB in a build folder (the plain build; a
# sanitizer build would make a package that needs the sanitizer runtimes).
include_guard(GLOBAL)

set(WENDEL_MAINTAINER "WendelSaver developers <wendelsaver@users.noreply.github.com>"
  CACHE STRING "The package's maintainer, as Name <address>")
set(WENDEL_PACKAGE_DATE "Sun, 06 Dec 2026 12:00:00 +0000")

# Debian wants a changelog and a copyright file beside the docs of every
# package, the changelog gzipped like the man pages.
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
wendel_gzip(${CMAKE_BINARY_DIR}/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz data/copyright DESTINATION ${WENDEL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wendelsaver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Install under the real prefix into a staging DESTDIR, so that what is
# configured at install time names /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "now-playing board for the PLX CD jukebox, as a screen saver")
# CPack turns the blank line into Debian's " ." paragraph break.
set(CPACK_PACKAGE_DESCRIPTION
"WendelSaver turns an idle screen into a now-playing board for the PLX CD
jukebox, or a bridge to another player, running on the same machine:
title, artist and album, elapsed and total time, the cover, the play state
and the next playlist entry, in one of four looks.

The package holds the saver, its settings dialog in the application menu,
a systemd user unit that starts it on idle through xss-lock, and plx-sim,
a simulated jukebox for trying it out.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${WENDEL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The board's texts are laid out for Arial's metrics, which Liberation Sans has.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xss-lock")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xautolock")
include(CPack)
