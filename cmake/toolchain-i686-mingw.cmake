# 32-bit Windows with MinGW-w64: the dupd.exe we ship.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(DUPD_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
