# 64-bit Windows with MinGW-w64: the same sources as the shipped 32-bit program,
# built to be tested under the 64-bit Wine on machines that cannot execute 32-bit
# code. Never deployed: a 64-bit process reads the 64-bit registry view, not the
# one the product's 32-bit installer writes.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DUPD_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
