# Windows, 64-bit (x86_64), with MinGW-w64.
set(SNIMAC_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
