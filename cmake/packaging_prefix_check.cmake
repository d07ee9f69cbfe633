# Read by cpack before it packs: the Debian package must come from a build
# configured for /usr (cmake -DCMAKE_INSTALL_PREFIX=/usr), since the files
# in /etc and the attendance service's paths follow the configured prefix.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_SNIMAC_CONFIGURED_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "The Debian package needs a build configured with -DCMAKE_INSTALL_PREFIX=/usr "
                      "(this one has ${CPACK_SNIMAC_CONFIGURED_PREFIX}); ./build.sh package does that")
endif()
