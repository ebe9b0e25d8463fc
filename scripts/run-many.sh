#!/usr/bin/env bash
# Updates every product attached to this PC at once: one torvex-isp-cli per USB port, side by
# side, each touching only the product on its port (--port; the per-product lock keeps any other
# instance off it). The ports are those given, or every product's port that --list shows. Each
# runner's stdout, stderr and trace go to the log directory, named after its port; one summary
# line per port follows, and the script exits 0 only when every runner did.
#   usage: scripts/run-many.sh [-c CLI] [-d LOG_DIR] [PORT...] [-- RUNNER_OPTIONS...]
#   e.g.   sudo scripts/run-many.sh -d /var/log/torvex -- --timeout-s 300
set -uo pipefail

cli=torvex-isp-cli
logs=torvex-runs-$(date +%Y%m%d-%H%M%S)
while getopts "c:d:h" flag; do
  case $flag in
    c) cli=$OPTARG ;;
    d) logs=$OPTARG ;;
    *) sed -n '2,9p' "$0"; exit 64 ;;
  esac
done
shift $((OPTIND - 1))
ports=()
while (($# > 0)) && [[ $1 != -- ]]; do ports+=("$1"); shift; done
[[ ${1:-} == -- ]] && shift
options=("$@")

if ((${#ports[@]} == 0)); then
  # The first field of each product's line (tab-separated; its code is the fourth field).
  mapfile -t ports < <("$cli" --list | awk -F'\t' '$4 != "not the product" { print $1 }')
fi
if ((${#ports[@]} == 0)); then
  echo "run-many: no product attached" >&2
  exit 3
fi

mkdir -p "$logs" || exit 1
declare -A pids
for port in "${ports[@]}"; do
  name=${port//[^A-Za-z0-9._-]/_}
  "$cli" --port "$port" --trace "$logs/$name.trace.jsonl" "${options[@]}" \
    >"$logs/$name.out" 2>"$logs/$name.err" &
  pids[$port]=$!
done

failed=0
for port in "${ports[@]}"; do
  wait "${pids[$port]}"
  status=$?
  ((status == 0)) || failed=1
  printf '%s\texit %d\t%s\n' "$port" "$status" "$(tail -n 1 "$logs/${port//[^A-Za-z0-9._-]/_}.out")"
done
echo "run-many: logs and traces in $logs" >&2
exit $failed
