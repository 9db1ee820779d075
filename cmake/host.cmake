# Native build: the portable code's tests, the sample-data tool and the benchmarks.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

# Grouped by the folder whose behaviour they show.
file(GLOB DUPD_HOST_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*/*.cpp)
add_executable(dupd_host_tests ${DUPD_HOST_TESTS})
target_link_libraries(dupd_host_tests PRIVATE dupd_portable GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
target_include_directories(dupd_host_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/host)
include(GoogleTest)
# The fault-injection tests share one table of thousands of runs: one process
# builds it once for all of them. Table rows are listed by their names alone.
gtest_discover_tests(dupd_host_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "-FaultInjection.*" NO_PRETTY_VALUES)
add_test(NAME FaultInjection COMMAND dupd_host_tests --gtest_filter=FaultInjection.*)

file(GLOB DUPD_TOOLS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*.cpp)
foreach(src ${DUPD_TOOLS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE dupd_portable)
endforeach()

file(GLOB DUPD_BENCH CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
find_package(benchmark QUIET)
if(DUPD_BENCH AND benchmark_FOUND)
  foreach(src ${DUPD_BENCH})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE dupd_portable benchmark::benchmark)
  endforeach()
endif()

# The layers hold: one header included in the context of a library that may
# include it (log/) and of one that may not (markup/). Built only by the test.
set(DUPD_PROBE_HEADER log/UpdateLog.h)
foreach(probe allowed:dupd_log forbidden:dupd_markup)
  string(REPLACE ":" ";" probe ${probe})
  list(GET probe 0 kind)
  list(GET probe 1 context)
  add_library(dupd_layer_probe_${kind} OBJECT EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/layers/IncludeProbe.cpp)
  target_link_libraries(dupd_layer_probe_${kind} PRIVATE ${context})
  target_compile_definitions(dupd_layer_probe_${kind} PRIVATE DUPD_PROBE_HEADER="${DUPD_PROBE_HEADER}")
endforeach()
add_test(NAME layers COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DHEADER=${DUPD_PROBE_HEADER}
                             -P ${CMAKE_SOURCE_DIR}/tests/layers/check.cmake)
