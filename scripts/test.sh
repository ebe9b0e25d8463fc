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
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$logs/${preset}.log"
done

bash scripts/test-windows.sh 2>&1 | tee "$logs/windows.log"
bash scripts/fuzz.sh 10

# One closing line over every ctest run.
passed=0
failed=0
for log in "$logs"/*.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  [ -n "$line" ] || continue
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo "all builds: ${passed} passed, ${failed} failed"
