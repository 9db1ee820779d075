# 32-bit Windows with MinGW-w64. The posix-thread compilers are preferred because
# GoogleTest needs std::thread and friends; the win32-thread ones lack them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

foreach(lang C CXX)
  if(lang STREQUAL "C")
    set(tool gcc)
  else()
    set(tool g++)
  endif()
  find_program(_compiler NAMES i686-w64-mingw32-${tool}-posix i686-w64-mingw32-${tool} NO_CACHE REQUIRED)
  set(CMAKE_${lang}_COMPILER ${_compiler})
  unset(_compiler)
endforeach()
find_program(CMAKE_RC_COMPILER NAMES i686-w64-mingw32-windres windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Windows programs built here run under Wine, in the project's own throwaway prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
