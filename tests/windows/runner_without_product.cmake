# torvex-isp-cli.exe on a machine without the product: its exact output and exit statuses.
set(RUNNER_TEST_NAME without_product)
include(${CMAKE_CURRENT_LIST_DIR}/runner_output.cmake)

# No product: discovery's line once at start-up (the next poll would come on the 11th tick),
# after the line that says a build with sample firmware writes nothing; nothing on stderr, no
# ending before the time-out: 3. Lines end in "\n" alone.
run_runner(--timeout-s 2)
if(NOT status EQUAL 3)
  message(FATAL_ERROR "exit status ${status}, expected 3\n${out}${err}")
endif()
set(sample_line "")
if(CARRIES_SAMPLES)
  set(sample_line "This build carries sample firmware, which a real product cannot use: it writes nothing to a product.\n")
endif()
expect_bytes("stdout" "${out_hex}" "${sample_line}USB device not found!\n")
expect_bytes("stderr" "${err_hex}" "")

# Bad usage: 64 and a reason on stderr, nothing on stdout.
run_runner(--tick-ms 0)
if(NOT status EQUAL 64 OR NOT out STREQUAL "" OR NOT err MATCHES "^torvex-isp-cli: .*--tick-ms")
  message(FATAL_ERROR "bad usage: status ${status}, stdout [${out}], stderr [${err}]")
endif()

run_runner(--help)
if(NOT status EQUAL 0 OR NOT out MATCHES "^Usage: torvex-isp-cli .*application-old")
  message(FATAL_ERROR "--help: status ${status}, stdout [${out}]")
endif()
