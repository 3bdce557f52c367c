# tessera_add_plugin(NAME source...): the pattern plug-in NAME.so. It exports only its two entry
# points (the version script hides everything else, template instances included) and depends
# on the C++ standard library and libm alone.
function(tessera_add_plugin name)
  cmake_parse_arguments(PLUGIN "" "OUTPUT_DIR" "" ${ARGN})
  if(NOT PLUGIN_OUTPUT_DIR)
    set(PLUGIN_OUTPUT_DIR ${TESSERA_PLUGIN_DIR})
  endif()
  add_library(${name} MODULE ${PLUGIN_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE tessera_framework)
  # No fused multiply-add: results are the same on every processor the farm mixes.
  target_compile_options(${name} PRIVATE ${TESSERA_WARNINGS} -ffp-contract=off)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${PLUGIN_OUTPUT_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/plugin.map)
  target_link_options(${name} PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/plugin.map -Wl,--as-needed)
  if(NOT PLUGIN_OUTPUT_DIR STREQUAL TESSERA_PLUGIN_DIR)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY TESSERA_PLUGINS ${name})
  install(TARGETS ${name} LIBRARY DESTINATION lib/tessera/plugins)
endfunction()
