#!/usr/bin/env bash
# Builds the project and runs every test: the default build, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, the Windows cross build under Wine, and a short run of each
# fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
logs=build/test-logs
mkdir -p "$logs"

for preset in default asan; do
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== ${preset}: tests"
  if ! ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$logs/${preset}.log"; then
    # The umockdev tests follow udev events in real time and can miss a deadline on a busy
    # machine: a failed test gets one more run on its own, and the log says so.
    echo "=== ${preset}: running the failed tests once more, alone"
    ctest --preset "$preset" --rerun-failed 2>&1 | tee "$logs/${preset}-rerun.log"
  fi
done

bash scripts/test-windows.sh 2>&1 | tee "$logs/windows.log"
bash scripts/fuzz.sh 10

# One closing line over every ctest run: the first run gives the count, the last rerun (if
# any) the failures that remained.
passed=0
failed=0
for run in default asan windows; do
  logs_of_run=("$logs/${run}.log")
  [ -f "$logs/${run}-rerun.log" ] && logs_of_run+=("$logs/${run}-rerun.log")
  results=$(grep -hE 'tests passed, [0-9]+ tests failed out of [0-9]+' "${logs_of_run[@]}" || true)
  [ -n "$results" ] || continue
  total=$(head -n 1 <<<"$results" | sed -E 's/.*out of ([0-9]+).*/\1/')
  bad=$(tail -n 1 <<<"$results" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo "all builds: ${passed} passed, ${failed} failed"
