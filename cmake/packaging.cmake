# The Debian package snimac_<version>_<arch>.deb, made by cpack from what
# `cmake --install` puts in place (./build.sh package builds it in Release).
# The dependencies are computed from the programs' libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME snimac)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "card reader program: typing, serial output and attendance")
# The long description: cpack indents it and marks the empty line as a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "snimac drives a card reader that sits behind an FTDI USB-serial converter
and turns every card presented to it into output: keystrokes typed into the
focused window, bytes on a virtual serial port, or attendance records sent
to a server with a local file as fallback. It also upgrades the reader's
firmware.

The package holds the desktop program snimac (Qt, with a tray icon; it
starts with the desktop session), the console host snimac-headless, the
attendance terminal service snimac-attendance, and a udev rule that gives
the logged-in user access to FTDI converters.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SNIMAC_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # snimac_1.15_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(debian ${CMAKE_SOURCE_DIR}/packaging/linux/debian)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${debian}/conffiles ${debian}/postinst ${debian}/prerm ${debian}/postrm)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
# The files in /etc and the service's paths are set when cmake runs: a
# package made from another prefix would put them under /usr/local.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/packaging_prefix_check.cmake)
set(CPACK_SNIMAC_CONFIGURED_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
