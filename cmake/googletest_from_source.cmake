# A cross build (MinGW for Windows) cannot use the build machine's GoogleTest
# libraries: it builds GoogleTest from the sources of Debian's googletest
# package with the cross compiler, without the project's warning flags. Its
# build defines the GTest::gtest and GTest::gtest_main targets itself.
set(SNIMAC_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${SNIMAC_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(target gtest gtest_main)
  set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS "")
endforeach()
