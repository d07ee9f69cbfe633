# Cross-building for Windows with MinGW-w64 and its POSIX thread model
# (std::thread, std::mutex): Debian's g++-mingw-w64-<arch>-posix. The
# toolchain file of each architecture sets SNIMAC_MINGW_ARCH and includes this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SNIMAC_MINGW_ARCH})
set(CMAKE_C_COMPILER ${SNIMAC_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${SNIMAC_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${SNIMAC_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SNIMAC_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Release: GCC 12 inlines std::string and std::vector deep enough to report
# array-bounds, restrict and stringop faults inside the standard library's own
# code on paths that cannot run (known false positives of GCC 12); those
# checks are off there so that -Werror keeps meaning a fault in this project's
# code.
set(CMAKE_CXX_FLAGS_RELEASE_INIT
    "-O2 -DNDEBUG -Wno-array-bounds -Wno-restrict -Wno-stringop-overread -Wno-stringop-overflow")
