# torvex-isp-cli.exe with the production-line options, on virtual products under Wine: the
# refusal to choose among two products, --list, --port through a re-enumeration, --json, and a
# trace recorded then replayed to the same bytes.
set(RUNNER_TEST_NAME production_line)
include(${CMAKE_CURRENT_LIST_DIR}/runner_output.cmake)

set(two application-old,ota)
set(list_plain "virtual-1\t2175:5001\tSN:2175APP00001\tapplication code\nvirtual-2\t2175:5001\tSN:00000000EF320001\tOTA code\n")

run_runner(--virtual ${two} --tick-ms 20 --timeout-s 30)
if(NOT status EQUAL 4)
  message(FATAL_ERROR "two products without --port: status ${status}\n${out}${err}")
endif()
expect_bytes("two products: the list" "${out_hex}" "${list_plain}")
expect_contains("two products: stderr" "${err_hex}" "2 products are attached")

run_runner(--virtual ${two} --list)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "--list: status ${status}\n${err}")
endif()
expect_contains("--list" "${out_hex}" "virtual-1\t2175:5001\tSN:2175APP00001\tapplication code\tEF64 bank 100.1.0.0 tag 1.2.3.4 \"F_TORVEX_APP_V100100\"")
expect_contains("--list" "${out_hex}" "\tupdate: EF64 in one run\n")

# The product on virtual-1 updates in two runs, re-enumerating in OTA code in between.
run_runner(--virtual ${two} --port virtual-1 --tick-ms 20 --timeout-s 30 --json
           --trace ${scratch}/trace.jsonl)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "--port virtual-1: status ${status}\n${out}${err}")
endif()
expect_contains("--json" "${out_hex}" "\"event\":\"log\",\"text\":\"Run Code at OTA Code\"}")
expect_ends_with("--json" "${out_hex}" "\"event\":\"ending\",\"result\":\"success\",\"exit\":0}\n")
file(READ ${scratch}/trace.jsonl trace)
string(FIND "${trace}" "\"op\":\"open\",\"path\":\"virtual://disk1" other_product)
if(NOT other_product EQUAL -1)
  message(FATAL_ERROR "the trace of the run on virtual-1 opens the other product")
endif()

run_runner(--virtual protect-isp --tick-ms 20 --timeout-s 30 --trace ${scratch}/protect.jsonl)
set(recorded_hex "${out_hex}")
set(recorded_status "${status}")
run_runner(--replay ${scratch}/protect.jsonl)
if(NOT status EQUAL recorded_status OR NOT out_hex STREQUAL recorded_hex)
  message(FATAL_ERROR "replay: status ${status} (recorded ${recorded_status})\n${out}${err}")
endif()
