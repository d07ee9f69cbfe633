# Windows, 32-bit (i686), with MinGW-w64.
set(SNIMAC_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
