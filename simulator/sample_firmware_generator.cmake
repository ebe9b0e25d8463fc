# The sample firmware generator (`torvex-sample-firmware DIR`): the virtual product's own code
# that makes the seven sample blocks, as one program with only the sources it needs. Included by
# simulator/CMakeLists.txt and by simulator/host/ (the same program built for the machine that
# builds, when the project itself is cross-built and its programs cannot run there).
set(torvex_sample_firmware_sources
    sample_firmware_main.cpp sample_firmware.cpp image_layout.cpp product_cipher.cpp
    identity_block.cpp)

# torvex_add_sample_firmware_generator(<target>): the program, from this folder's sources.
function(torvex_add_sample_firmware_generator target)
  set(sources "")
  foreach(source IN LISTS torvex_sample_firmware_sources)
    list(APPEND sources ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${source})
  endforeach()
  get_filename_component(root ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.. ABSOLUTE)
  add_executable(${target} ${sources})
  torvex_warnings(${target})
  target_include_directories(${target} PRIVATE ${root})
  target_compile_features(${target} PRIVATE cxx_std_20)
endfunction()
