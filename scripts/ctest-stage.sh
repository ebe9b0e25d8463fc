# shellcheck shell=bash
# Runs the tests of one build and tells what happened, test by test. Sourced by scripts/test.sh
# and scripts/test-windows.sh.
#
# A test labelled real-time (it follows udev events, a child process's ticks or Wine's message
# loop on the clock) can miss a deadline on a busy machine: when one fails, it runs once more,
# alone, and a pass there is counted apart. Any other failure stands. Logs in build/test-logs:
# PRESET.log, PRESET-rerun.log (only when something was rerun), PRESET.results and
# PRESET-rerun.results ("passed|skipped|failed<TAB>test" lines), PRESET.counts.

test_logs=build/test-logs

# Prints "passed|skipped|failed<TAB>name" for each result line of the ctest log $1.
ctest_results() {
  # "12/303 Test  #96: Suite.Name/case ........   Passed    0.01 sec" (names may hold blanks;
  # ctest pads them with at least three dots).
  sed -nE 's/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: (.*[^ ]) \.{3,} *(\*\*\*)?([^ ].*[^ ]) +[0-9.]+ sec$/\3\t\1/p' "$1" |
    awk -F'\t' '{
      verdict = "failed"
      if ($1 == "Passed") verdict = "passed"
      else if ($1 == "Skipped" || $1 ~ /Disabled/) verdict = "skipped"
      print verdict "\t" $2
    }'
}

# Prints the names of the tests of preset $1 with the label real-time.
ctest_real_time_tests() {
  ctest --preset "$1" -N -L real-time | sed -nE 's/^ *Test +#[0-9]+: +(.+)$/\1/p'
}

# Succeeds when test $2 of preset $1 passed, on the first run or on the rerun.
stage_test_passed() {
  cat "$test_logs/$1.results" "$test_logs/$1-rerun.results" 2>/dev/null |
    grep -qxF "$(printf 'passed\t%s' "$2")"
}

# Prints how test $2 of preset $1 ended on its first run (passed, skipped, failed), or nothing
# when it did not run at all.
stage_test_verdict() {
  awk -F'\t' -v name="$2" '$2 == name { print $1 }' "$test_logs/$1.results" 2>/dev/null
}

# ctest_stage PRESET JOBS: every test of the preset's build, then the real-time ones that failed
# once more, alone. Writes PRESET.counts ("passed only-on-rerun skipped failed"; passed includes
# the passes on the rerun), prints the stage's closing line and fails when a test failed in the
# end or ctest itself went wrong.
ctest_stage() {
  local preset=$1 jobs=$2
  local log="$test_logs/$preset.log" rerun_log="$test_logs/$preset-rerun.log"
  mkdir -p "$test_logs"
  rm -f "$test_logs/$preset".* "$test_logs/$preset"-rerun.*

  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  ctest_results "$log" >"$test_logs/$preset.results"

  local real_time failed=() rerun=() name
  real_time=$(ctest_real_time_tests "$preset")
  mapfile -t failed < <(awk -F'\t' '$1 == "failed" { print $2 }' "$test_logs/$preset.results")
  for name in "${failed[@]}"; do
    grep -qxF "$name" <<<"$real_time" && rerun+=("$name")
  done

  local rerun_passed=0
  if ((${#rerun[@]})); then
    echo "=== $preset: the real-time tests that failed, once more, alone: ${rerun[*]}"
    local pattern
    pattern=$(printf '%s\n' "${rerun[@]}" | sed 's/[][\.*^$+?(){}|/]/\\&/g' | paste -sd '|')
    ctest --preset "$preset" -R "^($pattern)\$" 2>&1 | tee "$rerun_log"
    ctest_results "$rerun_log" >"$test_logs/$preset-rerun.results"
    for name in "${rerun[@]}"; do
      stage_test_passed_on_rerun "$preset" "$name" && rerun_passed=$((rerun_passed + 1))
    done
  fi

  local passed skipped still_failed
  passed=$(grep -c '^passed' "$test_logs/$preset.results")
  skipped=$(grep -c '^skipped' "$test_logs/$preset.results")
  still_failed=$((${#failed[@]} - rerun_passed))
  passed=$((passed + rerun_passed))
  echo "$passed $rerun_passed $skipped $still_failed" >"$test_logs/$preset.counts"
  echo "=== $preset: $passed passed ($rerun_passed of them only on a rerun), $skipped skipped," \
    "$still_failed failed"

  if ((passed + skipped + ${#failed[@]} == 0)); then
    echo "=== $preset: no test ran"
    return 1
  fi
  if ((status != 0 && ${#failed[@]} == 0)); then
    echo "=== $preset: ctest failed (exit status $status) though no test did"
    return 1
  fi
  ((still_failed == 0))
}

# Succeeds when test $2 of preset $1 passed on the rerun.
stage_test_passed_on_rerun() {
  grep -qxF "$(printf 'passed\t%s' "$2")" "$test_logs/$1-rerun.results"
}
