# zelvo_add_plugin(NAME ENTRY entry.cpp [LINK library...])
#
# An outside plug-in in two parts. The core, zelvo_NAME_core, is a static
# library of every .cpp of the calling folder but ENTRY, so that the unit
# tests link it without loading the plug-in shell; its includes are rooted at
# plugins/ ("NAME/some_class.h") and it links tftp_rconsole and the LINK
# libraries. The plug-in, zelvo_NAME, is the shared object of ENTRY on top of the
# core (exporting pluginCreator/pluginDestroyer), built beside
# libtftp_rconsole.so where the daemon looks for its plug-ins.
function(zelvo_add_plugin name)
  cmake_parse_arguments(PLUGIN "" "ENTRY" "LINK" ${ARGN})
  if(NOT PLUGIN_ENTRY)
    message(FATAL_ERROR "zelvo_add_plugin(${name}): ENTRY is required")
  endif()
  set(entry ${CMAKE_CURRENT_SOURCE_DIR}/${PLUGIN_ENTRY})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(REMOVE_ITEM sources ${entry})
  set(core zelvo_${name}_core)
  add_library(${core} STATIC ${sources})
  set_target_properties(${core} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${core} PUBLIC ${PROJECT_SOURCE_DIR}/plugins)
  target_link_libraries(${core} PUBLIC tftp_rconsole ${PLUGIN_LINK})

  add_library(zelvo_${name} MODULE ${entry})
  target_link_libraries(zelvo_${name} PRIVATE ${core})
  set_target_properties(zelvo_${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ZELVO_PLUGIN_OUTPUT_DIRECTORY})
endfunction()
