# torvex-isp-cli.exe on virtual products: the whole update through the Windows message loop,
# each ending with its exit status and its exact texts.
set(RUNNER_TEST_NAME virtual_product)
include(${CMAKE_CURRENT_LIST_DIR}/runner_output.cmake)

set(not_supported "Your device's current firmware is not supported to update. \r\nPlease return the product to manufacturer.\n")

# The two-run update from application code: EF32_0, the product's return in OTA code, EF64.
run_runner(--virtual application-old --tick-ms 20 --timeout-s 30)
if(NOT status EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "application-old: status ${status}, stderr [${err}]\n${out}")
endif()
expect_contains(application-old "${out_hex}" "EF64_Old\nISP EF32_0 - *.BinX  (Group_1)\n")
expect_contains(application-old "${out_hex}" "Run Code at OTA Code\n")
# The identity lines end with a line "\r", printed unchanged.
expect_contains(application-old "${out_hex}" "Device EF32_0 FW Name: F_TORVEXZED_OTA_GROUP1\n\r\n")
expect_ends_with(application-old "${out_hex}"
                 "Jump to EFlash 64*8\nPASS.\nUpdat FW.... Update complete !!\n")

foreach(case "protect-isp|0|Updat FW.... Update complete !!\n|"
             "application-current|0|EF64_current\n|Your device is already updated.\n"
             "mask-0110|2|Mask 0110....\n|${not_supported}")
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 state)
  list(GET fields 1 expected_status)
  list(GET fields 2 last_line)
  set(message "")
  list(LENGTH fields count)
  if(count GREATER 3)
    list(GET fields 3 message)
  endif()
  run_runner(--virtual ${state} --tick-ms 20 --timeout-s 30)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "${state}: status ${status}, expected ${expected_status}\n${out}")
  endif()
  expect_ends_with(${state} "${out_hex}" "${last_line}")
  expect_bytes("${state} stderr" "${err_hex}" "${message}")
endforeach()

run_runner(--virtual no-such-state)
if(NOT status EQUAL 64 OR NOT out STREQUAL "" OR NOT err MATCHES "^torvex-isp-cli: ")
  message(FATAL_ERROR "unknown state: status ${status}, stdout [${out}], stderr [${err}]")
endif()
