# The helper the planted-lock scenario used was left alone while the scenarios after it ran as
# root (well over its minute): it left by itself, cleanly, and was not stopped.
source /rig/tests/lib.sh
unit=torvex-isp-helper.service

scenario_begin idle-exit
since=$(cat "$work/helper-last-client" 2>/dev/null || echo 0)
journalctl -u "$unit" --since "@$since" --no-pager -o cat >"$work/idle.journal" 2>&1
check "the helper's last client left long enough ago" test $(($(date +%s) - since)) -ge 70
check "of itself, with status 0" ended_cleanly "$unit"
check "after a minute without a client" grep -q 'torvex-isp-helper: no client for 60 s, leaving' "$work/idle.journal"
check "and nobody stopped it" bash -c "! grep -q '^Stopping' '$work/idle.journal'"
keep "$work/idle.journal"
scenario_end
