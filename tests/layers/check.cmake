# Compiles the one-line probe in two libraries' include contexts: the same header
# must be found where the layer table allows it and be "No such file" where not,
# so a build that lost its layers, or a probe that cannot compile at all, fails.
#   cmake -DBUILD_DIR=... -DHEADER=... -P check.cmake
function(build_probe target result output)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(${result} ${rc} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

build_probe(dupd_layer_probe_allowed rc out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${HEADER} should compile where the layers allow it:\n${out}")
endif()

build_probe(dupd_layer_probe_forbidden rc out)
string(REGEX MATCH "${HEADER}'?: No such file|'${HEADER}' file not found" missing "${out}")
if(rc EQUAL 0 OR NOT missing)
  message(FATAL_ERROR "${HEADER} should be missing where the layers forbid it:\n${out}")
endif()
message(STATUS "${HEADER}: found where allowed, missing where forbidden")
