# Windows build: dupd.exe, its adapters and the tests that run them under Wine.
# The application manifest names the process's architecture: x86 for the program
# we ship, amd64 for the x86-64 test build (Windows refuses to start a 64-bit
# program whose manifest says x86). The resource scripts find it on the include path.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(DUPD_MANIFEST_ARCH amd64)
else()
  set(DUPD_MANIFEST_ARCH x86)
endif()
configure_file(${CMAKE_SOURCE_DIR}/app/win32/dupd.manifest.in ${CMAKE_BINARY_DIR}/manifest/dupd.manifest @ONLY)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I ${CMAKE_BINARY_DIR}/manifest")

get_property(DUPD_ADAPTER_LIBRARIES GLOBAL PROPERTY DUPD_ADAPTER_LIBRARIES)
add_library(dupd_win32 INTERFACE)
target_link_libraries(dupd_win32 INTERFACE dupd_portable ${DUPD_ADAPTER_LIBRARIES})

# The emulated task dialog's pictures, drawn by a tool of the project at build
# time; every program that can show that dialog embeds them (DUPD_TD_RESOURCES).
include(${CMAKE_SOURCE_DIR}/cmake/td_bitmaps.cmake)

add_executable(dupd WIN32 app/win32/dupd.cpp app/win32/dupd.rc ${DUPD_TD_RESOURCES})
target_link_libraries(dupd PRIVATE dupd_app_win32)
set_target_properties(dupd PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# GoogleTest from Debian's source package, cross-built for Windows.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# What the Windows-side tests, the end-to-end tests and the demo's tools share:
# windows read and worked as a user would, files held open, Unix links, the raw
# pending-rename list, screenshots.
file(GLOB DUPD_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/win32/*.cpp)
add_library(dupd_test_support STATIC ${DUPD_TEST_SUPPORT})
target_link_libraries(dupd_test_support PUBLIC dupd_win32)
target_compile_options(dupd_test_support PRIVATE -Wall -Wextra)

file(GLOB DUPD_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
if(DUPD_WIN_TESTS)
  add_executable(dupd_win_tests ${DUPD_WIN_TESTS} ${CMAKE_SOURCE_DIR}/tests/win/win_tests_pictures.rc
                 ${DUPD_TD_RESOURCES})
  target_link_libraries(dupd_win_tests PRIVATE dupd_test_support gtest gmock)
  add_test(NAME win_adapters COMMAND dupd_win_tests)
endif()

file(GLOB DUPD_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
if(DUPD_E2E_TESTS)
  add_executable(dupd_e2e ${DUPD_E2E_TESTS})
  target_link_libraries(dupd_e2e PRIVATE dupd_test_support gtest)
  target_include_directories(dupd_e2e PRIVATE ${CMAKE_SOURCE_DIR}/tests/e2e)
  add_dependencies(dupd_e2e dupd)
  include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake OPTIONAL)
endif()

# The demo's helpers that drive dialogs or hold files as a user's programs do.
set(DUPD_TOOLS_PLAYING_THE_USER dialog_bot hold_open)
file(GLOB DUPD_WIN_TOOLS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/win32/*.cpp)
foreach(src ${DUPD_WIN_TOOLS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${DUPD_TD_RESOURCES})
  target_link_libraries(${name} PRIVATE dupd_win32)
  if(name IN_LIST DUPD_TOOLS_PLAYING_THE_USER)
    target_link_libraries(${name} PRIVATE dupd_test_support)
  endif()
  # A tool's resource script beside it (TOOL.rc) is compiled in.
  string(REGEX REPLACE "\\.cpp$" ".rc" rc ${src})
  if(EXISTS ${rc})
    target_sources(${name} PRIVATE ${rc})
  endif()
endforeach()
# The end-to-end tests stamp a release with the tool, as a release is made.
if(TARGET dupd_e2e)
  add_dependencies(dupd_e2e dupd-stamp)
endif()
# The floor of the update benchmark starts as the updater does: a GUI program.
if(TARGET gui_floor)
  set_target_properties(gui_floor PROPERTIES WIN32_EXECUTABLE ON)
endif()
