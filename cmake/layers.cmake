# One library per folder (dupd_FOLDER) and one per folder's Win32 adapters
# (dupd_FOLDER_win32), linked to exactly what the layer table allows.
#
# There is no include root for the product's code: each folder library publishes
# a folder of the build tree, layers/FOLDER/, that holds one link, FOLDER, to its
# sources. A library thus finds "FOLDER/..." only for itself and for what it
# links, directly or through its dependencies, and an include the table does not
# allow is "No such file". The adapters of a folder link its portable library
# and the adapters of whatever it may include, so a folder's win32/ reaches
# another folder's win32/ exactly where the folder reaches that folder.

# dupd_folder(FOLDER [MAY_INCLUDE...]): FOLDER may include itself, the folders
# named and whatever those may include. A folder can only name folders declared
# before it, so the table has no circle.
function(dupd_folder folder)
  set(adapters_below)
  foreach(dep ${ARGN})
    if(NOT TARGET dupd_${dep})
      message(FATAL_ERROR "${folder}/ may include only folders declared before it; ${dep}/ is not")
    endif()
    get_property(dep_adapters GLOBAL PROPERTY DUPD_ADAPTERS_OF_${dep})
    list(APPEND adapters_below ${dep_adapters})
  endforeach()
  list(REMOVE_DUPLICATES adapters_below)

  set(view ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)

  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  add_library(dupd_${folder} STATIC ${sources})
  target_include_directories(dupd_${folder} PUBLIC ${view})
  list(TRANSFORM ARGN PREPEND dupd_ OUTPUT_VARIABLE below)
  target_link_libraries(dupd_${folder} PUBLIC ${below})
  target_compile_options(dupd_${folder} PRIVATE ${DUPD_WARNINGS})
  set_property(GLOBAL APPEND PROPERTY DUPD_FOLDER_LIBRARIES dupd_${folder})

  # Whoever may include this folder gets its adapters, or else those below it.
  set(adapters ${adapters_below})
  if(WIN32)
    file(GLOB win32_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/win32/*.cpp)
    # A program's entry point is no library's; its target is made where it is.
    list(FILTER win32_sources EXCLUDE REGEX "/app/win32/dupd\\.cpp$")
    if(win32_sources)
      add_library(dupd_${folder}_win32 STATIC ${win32_sources})
      target_link_libraries(dupd_${folder}_win32 PUBLIC dupd_${folder} ${adapters_below} ${DUPD_WIN32_LIBS})
      target_compile_options(dupd_${folder}_win32 PRIVATE -Wall -Wextra)
      set(adapters dupd_${folder}_win32)
      set_property(GLOBAL APPEND PROPERTY DUPD_ADAPTER_LIBRARIES dupd_${folder}_win32)
    endif()
  endif()
  set_property(GLOBAL PROPERTY DUPD_ADAPTERS_OF_${folder} ${adapters})
endfunction()
