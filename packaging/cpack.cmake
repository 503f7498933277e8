# The Debian package, built with `cpack -G DEB` in the build tree. Included from the top level,
# so that CPackConfig.cmake lands at the top of the build tree.

set(CPACK_PACKAGE_NAME tarvisk)
set(CPACK_PACKAGE_VENDOR "Tarvisk developers")
set(CPACK_PACKAGE_CONTACT "${TARVISK_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "teach pendant emulator for robot controllers")
# The package's long description, in lines short enough for the package tools.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Tarvisk draws the hand-held teach pendant of an industrial robot controller\n"
  "on the desktop and turns mouse work on it into key states. Standalone, it\n"
  "talks to the controller over UDP; hosted, a client program drives it through\n"
  "provider objects on the D-Bus session bus. Includes tarvisk-client (a D-Bus\n"
  "client), tarvisk-controller (a virtual controller) and the Python package\n"
  "tarvisk with its pytest fixtures.")
set(CPACK_STRIP_FILES ON)

# Paths written into installed files (the activation file's Exec, the manual pages) follow the
# install prefix at install time; with DESTDIR staging that prefix is the package's own /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# What the programs need at run time and no library link shows: the platform plugins, the
# fonts the pendant is drawn with, and the bus that starts the hosted provider.
# The Python package needs Debian's python3 and jeepney; its pytest plugin is for those who have pytest.
set(tarvisk_runtime_packages "qt6-qpa-plugins, fonts-dejavu-core, fonts-dejavu-extra, unifont, dbus, python3, python3-jeepney")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-pytest")
find_program(TARVISK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TARVISK_DPKG_SHLIBDEPS)
  # The libraries' packages and versions come from the binaries themselves.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${tarvisk_runtime_packages}")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), libqt6dbus6 (>= 6.4), ${tarvisk_runtime_packages}")
endif()

set(CPACK_GENERATOR DEB)
include(CPack)
