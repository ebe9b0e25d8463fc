#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang-14 with ASan and UBSan) and runs each for a
# bounded time on a copy of its seed corpus. Usage: scripts/fuzz.sh [seconds-per-target]
# (default 20). Exits non-zero when a target crashes or breaks an invariant; the input that did
# it is kept in build/fuzz/findings/<target>/ and its log in build/fuzz/runs/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-20}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || ((seconds == 0)); then
  echo "usage: $0 [seconds-per-target]" >&2
  exit 64
fi

if ! command -v clang++-14 >/dev/null 2>&1; then
  echo "Installing clang-14"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    clang-14
fi

echo "=== fuzz: configure and build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

targets=(fuzz_info_block fuzz_usb_found fuzz_version_checks fuzz_linux_attributes fuzz_controller
  fuzz_trace_replay)
runs=build/fuzz/runs
findings=build/fuzz/findings
rm -rf "$runs"
mkdir -p "$runs" "$findings"
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

status=0
for target in "${targets[@]}"; do
  binary="build/fuzz/fuzz/${target}"
  if [ ! -x "$binary" ]; then
    # Every target of the list is built by the fuzz preset: a missing one is a broken build.
    echo "${target}: FAILED (not built)"
    status=1
    continue
  fi
  # The fuzzer adds what it finds to the corpus it runs on: work on a copy of the seeds.
  mkdir -p "${runs}/${target}" "${findings}/${target}"
  cp fuzz/corpus/"${target}"/* "${runs}/${target}/"
  log="${runs}/${target}.log"
  if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="${findings}/${target}/" "${runs}/${target}" >"$log" 2>&1; then
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "${target}: no crash, ${executed:-?} inputs in ${seconds} s"
  else
    echo "${target}: FAILED (input kept in ${findings}/${target}/)"
    tail -n 40 "$log"
    status=1
  fi
done
exit "$status"
