# Native build: the portable code's tests, the sample-data tool and the benchmarks.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

file(GLOB DUPD_HOST_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp ${CMAKE_SOURCE_DIR}/tests/host/install/*.cpp)
add_executable(dupd_host_tests ${DUPD_HOST_TESTS})
target_link_libraries(dupd_host_tests PRIVATE dupd_core GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
target_include_directories(dupd_host_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/host)
include(GoogleTest)
# The fault-injection tests share one table of thousands of runs: one process
# builds it once for all of them.
gtest_discover_tests(dupd_host_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "-FaultInjection.*")
add_test(NAME FaultInjection COMMAND dupd_host_tests --gtest_filter=FaultInjection.*)

file(GLOB DUPD_TOOLS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*.cpp)
foreach(src ${DUPD_TOOLS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE dupd_core)
endforeach()

file(GLOB DUPD_BENCH CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
find_package(benchmark QUIET)
if(DUPD_BENCH AND benchmark_FOUND)
  foreach(src ${DUPD_BENCH})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE dupd_core benchmark::benchmark)
  endforeach()
endif()
