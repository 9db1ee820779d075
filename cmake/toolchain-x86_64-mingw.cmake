# 64-bit Windows with MinGW-w64: the same sources as the shipped 32-bit program,
# built to be tested under the 64-bit Wine on machines that cannot execute 32-bit
# code. Never deployed: a 64-bit process reads the 64-bit registry view, not the
# one the product's 32-bit installer writes. Posix-thread compilers, as for i686.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

foreach(lang C CXX)
  if(lang STREQUAL "C")
    set(tool gcc)
  else()
    set(tool g++)
  endif()
  find_program(_compiler NAMES x86_64-w64-mingw32-${tool}-posix x86_64-w64-mingw32-${tool} NO_CACHE REQUIRED)
  set(CMAKE_${lang}_COMPILER ${_compiler})
  unset(_compiler)
endforeach()
find_program(CMAKE_RC_COMPILER NAMES x86_64-w64-mingw32-windres windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# wine-run picks the 64-bit Wine and its own prefix from the program's header.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
