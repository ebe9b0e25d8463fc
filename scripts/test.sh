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

# One closing line over every ctest run (a rerun's verdict replaces its first run's failures).
passed=0
failed=0
for run in default asan windows; do
  log="$logs/${run}.log"
  [ -f "$log" ] || continue
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  [ -n "$line" ] || continue
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  if [ -f "$logs/${run}-rerun.log" ]; then
    line=$(grep -E 'tests failed out of' "$logs/${run}-rerun.log" | tail -n 1 || true)
    bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  fi
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo "all builds: ${passed} passed, ${failed} failed"
