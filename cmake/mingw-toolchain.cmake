# What both MinGW-w64 toolchain files share; each sets DUPD_MINGW_TRIPLE and the
# processor first. The posix-thread compilers are preferred because GoogleTest
# needs std::thread and friends; the win32-thread ones lack them.
set(CMAKE_SYSTEM_NAME Windows)

foreach(lang C CXX)
  if(lang STREQUAL "C")
    set(tool gcc)
  else()
    set(tool g++)
  endif()
  find_program(_compiler NAMES ${DUPD_MINGW_TRIPLE}-${tool}-posix ${DUPD_MINGW_TRIPLE}-${tool} NO_CACHE REQUIRED)
  set(CMAKE_${lang}_COMPILER ${_compiler})
  unset(_compiler)
endforeach()
find_program(CMAKE_RC_COMPILER NAMES ${DUPD_MINGW_TRIPLE}-windres windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${DUPD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Windows programs built here run under Wine, in the project's own throwaway
# prefix; wine-run picks the Wine that matches the program's header.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
