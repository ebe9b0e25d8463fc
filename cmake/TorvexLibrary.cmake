# torvex_layer_library(<name> <folder> [LINKS <libraries>...]): a static library of the .cpp
# files of one folder (not its sub-folders, not *_main.cpp), with the project's warnings.
function(torvex_layer_library name folder)
  cmake_parse_arguments(arg "" "" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX ".*_main\\.cpp$")
  add_library(${name} STATIC ${sources})
  torvex_warnings(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${arg_LINKS})
endfunction()
