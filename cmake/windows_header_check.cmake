# The core compiles for Windows next to <windows.h>, so that no core name
# collides with a Win32 macro (MessageBox, PostMessage, WM_APP, ...):
#  - every core source is compiled once more with <windows.h> included first;
#  - every core header is compiled on its own right after <windows.h>;
#  - the tests are compiled with <windows.h> first while the core libraries
#    they link are not: a core name that a macro would rename only where
#    <windows.h> is seen (as in an adapter that implements a core port) then
#    fails to compile or to link.

function(snimac_compile_after_windows_h)
  foreach(folder ${ARGN})
    get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      if(type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
        target_compile_options(${target} PRIVATE "SHELL:-include windows.h")
      endif()
    endforeach()
  endforeach()
endfunction()

function(snimac_check_core_after_windows_h)
  set(sources "")
  foreach(folder ${ARGN})
    file(GLOB_RECURSE headers RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    foreach(header ${headers})
      string(MAKE_C_IDENTIFIER "${header}" name)
      set(source "${CMAKE_BINARY_DIR}/windows_header_check/${name}.cpp")
      file(CONFIGURE OUTPUT "${source}" CONTENT "#include <windows.h>\n#include \"${header}\"\n")
      list(APPEND sources "${source}")
    endforeach()
    file(GLOB_RECURSE core_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND sources ${core_sources})
  endforeach()
  add_library(snimac_windows_check OBJECT ${sources})
  target_compile_options(snimac_windows_check PRIVATE "SHELL:-include windows.h")
endfunction()
