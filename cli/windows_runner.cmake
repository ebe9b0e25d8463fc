# torvex-isp-cli.exe: the headless runner on Windows (a wait that dispatches the thread's
# messages instead of poll(), a hidden window for device changes), on the Windows device back end
# or the virtual product. Included from cli/CMakeLists.txt.
enable_language(RC)

add_library(torvex_cli_windows STATIC ${CMAKE_CURRENT_LIST_DIR}/message_wait.cpp)
torvex_warnings(torvex_cli_windows)
target_link_libraries(torvex_cli_windows PUBLIC torvex_cli_runtime torvex_windows_device)

add_executable(torvex-isp-cli ${CMAKE_CURRENT_LIST_DIR}/windows_main.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/windows_runner.rc)
torvex_warnings(torvex-isp-cli)
target_link_libraries(torvex-isp-cli PRIVATE torvex_cli_windows torvex_firmware_blocks shell32)
