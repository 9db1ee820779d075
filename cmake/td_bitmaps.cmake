# The emulated task dialog's pictures. A portable tool of the project draws them at
# build time; it is built with the machine's own compiler, since the cross-built
# programs cannot run here without Wine. DUPD_TD_RESOURCES is the resource script
# that embeds them.
find_program(DUPD_HOST_CXX NAMES g++ c++ clang++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(_td_tool_src ${CMAKE_SOURCE_DIR}/tools/make_td_bitmaps.cpp)
set(_td_tool ${CMAKE_BINARY_DIR}/host-tools/make_td_bitmaps)
set(_td_dir ${CMAKE_BINARY_DIR}/td_bitmaps)

add_custom_command(
  OUTPUT ${_td_tool}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host-tools
  COMMAND ${DUPD_HOST_CXX} -std=c++17 -O2 -o ${_td_tool} ${_td_tool_src}
  DEPENDS ${_td_tool_src}
  COMMENT "Building the picture tool with the host compiler"
  VERBATIM)

set(_td_names TD_ARW TD_ARWHOT TD_ARWDOWN TD_EXP TD_EXPHOT TD_EXPDOWN TD_COLP TD_COLPHOT TD_COLPDOWN TD_SHIELD)
set(_td_bmps)
foreach(name ${_td_names})
  list(APPEND _td_bmps ${_td_dir}/${name}.bmp)
endforeach()
set(_td_rc ${_td_dir}/td_bitmaps.rc)

add_custom_command(
  OUTPUT ${_td_bmps} ${_td_rc}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_td_dir}
  COMMAND ${_td_tool} ${_td_dir}
  DEPENDS ${_td_tool}
  COMMENT "Drawing the task dialog's pictures"
  VERBATIM)

# The script names the pictures relative to their folder; the resource compiler
# finds them through its include path.
set_source_files_properties(${_td_rc} PROPERTIES
  GENERATED TRUE
  INCLUDE_DIRECTORIES ${_td_dir}
  OBJECT_DEPENDS "${_td_bmps}")

# Builds just the pictures: cmake --build DIR --target td_bitmaps
add_custom_target(td_bitmaps DEPENDS ${_td_bmps} ${_td_rc})

set(DUPD_TD_RESOURCES ${_td_rc})
