# Compiler and linker flags of the fuzzing build (SNIMAC_FUZZ=ON). Everything
# is compiled with libFuzzer's coverage hooks and with AddressSanitizer and
# UBSan, so a fault anywhere in the core on a fuzzed path is a finding; only
# the fuzz targets themselves link libFuzzer's main (fuzz/CMakeLists.txt).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "SNIMAC_FUZZ needs clang (CXX=clang++): libFuzzer comes with it")
endif()
if(NOT SNIMAC_SANITIZE STREQUAL "")
  message(FATAL_ERROR "SNIMAC_FUZZ brings its own sanitizers: leave SNIMAC_SANITIZE empty")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer -g -O1)
add_link_options(-fsanitize=address,undefined)
