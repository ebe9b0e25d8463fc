# Helpers of the runner tests: run torvex-isp-cli.exe under the emulator and compare its output
# byte for byte (execute_process would fold "\r\n" into "\n", so the bytes are read from files
# as hex). Needs EMULATOR (a|b|c) and RUNNER.
string(REPLACE "|" ";" emulator "${EMULATOR}")
set(scratch ${CMAKE_CURRENT_BINARY_DIR}/runner_output_${RUNNER_TEST_NAME})
file(MAKE_DIRECTORY ${scratch})

# Sets status, out_hex, err_hex, and out/err (as text, "\r" folded) for messages.
function(run_runner)
  execute_process(COMMAND ${emulator} ${RUNNER} ${ARGN}
                  OUTPUT_FILE ${scratch}/out ERROR_FILE ${scratch}/err RESULT_VARIABLE code
                  TIMEOUT 90)
  file(READ ${scratch}/out hex_out HEX)
  file(READ ${scratch}/err hex_err HEX)
  file(READ ${scratch}/out text_out)
  file(READ ${scratch}/err text_err)
  set(status "${code}" PARENT_SCOPE)
  set(out_hex "${hex_out}" PARENT_SCOPE)
  set(err_hex "${hex_err}" PARENT_SCOPE)
  set(out "${text_out}" PARENT_SCOPE)
  set(err "${text_err}" PARENT_SCOPE)
endfunction()

function(hex_of text result)
  string(HEX "${text}" hex)
  set(${result} "${hex}" PARENT_SCOPE)
endfunction()

function(expect_bytes what actual_hex expected_text)
  hex_of("${expected_text}" expected_hex)
  if(NOT actual_hex STREQUAL expected_hex)
    message(FATAL_ERROR "${what}: expected bytes ${expected_hex}, got ${actual_hex}")
  endif()
endfunction()

function(expect_contains what actual_hex part)
  hex_of("${part}" part_hex)
  string(FIND "${actual_hex}" "${part_hex}" at)
  math(EXPR odd "${at} % 2")
  if(at EQUAL -1 OR odd)
    message(FATAL_ERROR "${what}: [${part}] missing")
  endif()
endfunction()

function(expect_ends_with what actual_hex tail)
  hex_of("${tail}" tail_hex)
  string(LENGTH "${actual_hex}" length)
  string(LENGTH "${tail_hex}" tail_length)
  set(end "")
  if(NOT length LESS tail_length)
    math(EXPR from "${length} - ${tail_length}")
    string(SUBSTRING "${actual_hex}" ${from} -1 end)
  endif()
  if(NOT end STREQUAL tail_hex)
    message(FATAL_ERROR "${what}: expected to end with [${tail}]")
  endif()
endfunction()
