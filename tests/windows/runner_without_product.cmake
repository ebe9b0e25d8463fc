# Runs torvex-isp-cli.exe (under the emulator, if any) on a machine without the product and
# checks its exact output and exit status. -DEMULATOR=a|b|c -DRUNNER=path
string(REPLACE "|" ";" emulator "${EMULATOR}")

function(run_runner)
  execute_process(COMMAND ${emulator} ${RUNNER} ${ARGN}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status TIMEOUT 60)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
  set(status "${status}" PARENT_SCOPE)
endfunction()

function(expect what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}: expected [${expected}], got [${actual}]")
  endif()
endfunction()

# No product: discovery's line once at start-up (the next poll would come on the 11th tick),
# nothing on stderr, no ending before the time-out: 3. Lines end in "\n" alone.
run_runner(--timeout-s 2)
expect("exit status" "${status}" "3")
expect("stdout" "${out}" "USB device not found!\n")
expect("stderr" "${err}" "")

# Bad usage: 64 and a reason on stderr, nothing on stdout.
run_runner(--tick-ms 0)
expect("exit status of bad usage" "${status}" "64")
expect("stdout of bad usage" "${out}" "")
if(NOT err MATCHES "--tick-ms")
  message(FATAL_ERROR "bad usage should name the option: [${err}]")
endif()

run_runner(--help)
expect("exit status of --help" "${status}" "0")
if(NOT out MATCHES "^Usage: torvex-isp-cli ")
  message(FATAL_ERROR "--help: [${out}]")
endif()
