# In a cross build the project's own programs do not run here, so the sample firmware comes from
# the generator built for this machine (simulator/host/: the simulator's own sources) with the
# host's default compiler. Sets `generator` (the command) and `generator_depends`.
include(ExternalProject)

set(host_dir ${CMAKE_BINARY_DIR}/host-tools)
set(host_suffix "")
if(CMAKE_HOST_WIN32)
  set(host_suffix .exe)
endif()
set(host_generator ${host_dir}/torvex-sample-firmware${host_suffix})
ExternalProject_Add(torvex_host_sample_firmware
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/simulator/host
  BINARY_DIR ${host_dir}
  # Nothing of the cross toolchain: the host's compiler and a plain release build.
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
  BUILD_BYPRODUCTS ${host_generator}
  # The outer build does not see the generator's sources: the sub-build's own build tool checks
  # them every time (a no-op when nothing changed).
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

set(generator ${host_generator})
set(generator_depends torvex_host_sample_firmware ${host_generator})
