#!/usr/bin/env bash
# Builds the project and runs every test: the default build, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, the real-system rig (the default build's package in a QEMU
# guest with a real kernel, USB stack and desktop services), the Windows cross build under Wine,
# and a short run of each fuzz target. Every stage runs even when one before it failed; the run
# fails at the end when any did. Logs of this run only (older ones are cleared first) are in build/test-logs.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

bash scripts/install-deps.sh || exit 1
source scripts/ctest-stage.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
rm -rf "$test_logs"
mkdir -p "$test_logs"
failed_stages=()

for preset in default asan; do
  echo "=== $preset: configure and build"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
    failed_stages+=("$preset build")
    continue
  fi
  echo "=== $preset: tests"
  ctest_stage "$preset" "$jobs" || failed_stages+=("$preset tests")
  # The Linux back end is tested only under umockdev: a run without those tests proves nothing
  # about it.
  case "$(stage_test_verdict "$preset" platform_tests)" in
    "") failed_stages+=("$preset umockdev platform tests not built") ;;
    skipped) failed_stages+=("$preset umockdev platform tests skipped") ;;
  esac
  if [ "$preset" = default ]; then
    # The real system, on the default build: it fails with its reason when the guest cannot run.
    # The guest mostly waits for the archive or runs on one emulated CPU, so it runs beside the
    # builds that follow; its log is printed when it is done.
    echo "=== system: the default build's package on a real kernel (QEMU), in the background"
    bash scripts/test-system.sh build/default >"$test_logs/system.log" 2>&1 &
    system_pid=$!
  fi
done

bash scripts/test-windows.sh || failed_stages+=("windows")

bash scripts/fuzz.sh 10 2>&1 | tee "$test_logs/fuzz.log"
((PIPESTATUS[0] == 0)) || failed_stages+=("fuzz")

if [ -n "${system_pid:-}" ]; then
  system_status=0
  wait "$system_pid" || system_status=$?
  echo "=== system: the default build's package on a real kernel (QEMU)"
  cat "$test_logs/system.log"
  ((system_status == 0)) || failed_stages+=("system")
fi

# One closing line over every ctest run; a test that passed only when run again is counted apart.
total_passed=0 total_rerun=0 total_skipped=0 total_failed=0
for preset in default asan windows; do
  [ -f "$test_logs/$preset.counts" ] || continue
  read -r p r s f <"$test_logs/$preset.counts"
  total_passed=$((total_passed + p)) total_rerun=$((total_rerun + r))
  total_skipped=$((total_skipped + s)) total_failed=$((total_failed + f))
done
line="all builds: $total_passed passed ($total_rerun of them only on a rerun),"
line+=" $total_skipped skipped, $total_failed failed"
if ((${#failed_stages[@]})); then
  echo "$line; FAILED: $(printf '%s, ' "${failed_stages[@]}" | sed 's/, $//')"
  exit 1
fi
echo "$line"
