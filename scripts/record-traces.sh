#!/usr/bin/env bash
# Records the traces of the virtual states that tests/process replays as regression tests: for
# each state, the runner's trace (tests/traces/STATE.jsonl) and its stdout (STATE.out); also a
# --list of two products. Run it after a change that is meant to change what crosses the wire,
# and read the diff of the traces before committing them.
#   usage: scripts/record-traces.sh [path/to/torvex-isp-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build/default/cli/torvex-isp-cli}
out=$here/tests/traces
mkdir -p "$out"
states=$("$cli" --help | sed -n '/STATE is one of:/{n;p}' | tr -d ' ' | tr ',' ' ')
for state in $states; do
  "$cli" --virtual "$state" --tick-ms 20 --timeout-s 30 --trace "$out/$state.jsonl" \
    >"$out/$state.out" 2>/dev/null || true
done
"$cli" --virtual application-old,ota --list --trace "$out/list-two-products.jsonl" \
  >"$out/list-two-products.out"
echo "recorded $(ls "$out"/*.jsonl | wc -l) traces in $out"
