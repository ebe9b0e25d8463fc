# systemd stops the helper in the middle of an update (SIGTERM, as at shutdown or an upgrade of
# the package) while the product holds a command: the helper waits for that command's real
# answer and only then ends, of itself, within its stop time-out; the run hears that answer, then
# says plainly that its helper has gone, fails and sends nothing more, and no block reached the
# product twice. A later run starts a new helper and completes the update.
source /rig/tests/lib.sh
expected=/rig/expected
unit=torvex-isp-helper.service

scenario_begin helper-stop
# The product stops (SIGSTOP) on its first EF64 main-memory block, in its OTA code, before
# answering it: the helper's command is in the kernel, waiting for the product.
gadget_start 0 application-old --pause-at 5A
check "the product's disk appears" wait_for 20 disk_on 0
port=$(port_of 0)
as rig torvex-isp-cli --allow-sample-firmware --verbose --port "$port" \
  >"$work/stop-1.out" 2>"$work/stop-1.err" &
run_pid=$!
paused() { grep -q '^State:[[:space:]]*T' "/proc/${gadget_pid[0]}/status"; }
check "the product holds the update's EF64 block through the helper" wait_for 60 paused
helper_pid=$(systemctl show -P MainPID "$unit")
systemctl stop "$unit" &
stop_pid=$!
deactivating() { test "$(systemctl show -P ActiveState "$unit")" = deactivating; }
check "the helper, told to stop, waits for the command" wait_for 10 deactivating
check "and is still there" kill -0 "$helper_pid"
kill -CONT "${gadget_pid[0]}"
stopped() { test "$(systemctl show -P ActiveState "$unit")" = inactive; }
check "then it ends" wait_for 60 stopped
wait "$stop_pid"
lines_at_stop=$(wc -l <"$work/gadget-0.trace")
wait "$run_pid"
run_rc=$?
check "of itself, with status 0" ended_cleanly "$unit"
journalctl -b -u "$unit" --no-pager -o cat >"$work/stop-journal" 2>&1
check "having said it was stopping" grep -q '^torvex-isp-helper: stopping$' "$work/stop-journal"
check "the run fails" test "$run_rc" -eq 1
check "and does not claim success" bash -c "! grep -q 'Update complete' '$work/stop-1.out'"
check "it says at once that its helper has gone" \
  grep -q 'attempt 1 of 3: not delivered: torvex-isp-helper, which held the disk, has gone' \
  "$work/stop-1.err"
check "nothing reached the product after the stop" \
  test "$(wc -l <"$work/gadget-0.trace")" -eq "$lines_at_stop"
# What reached the product is the start of an update's requests, the held one last: no block
# came twice.
sent=$(requests_of "$work/gadget-0.trace" | wc -l)
check "no block reached the product twice" \
  same_file <(requests_of "$expected/application-old.trace" | head -n "$sent") \
  <(requests_of "$work/gadget-0.trace")

as rig torvex-isp-cli --allow-sample-firmware --port "$port" >"$work/stop-2.out" 2>"$work/stop-2.err"
again_rc=$?
check "a later run, through a new helper, completes the update" test "$again_rc" -eq 0
check "to the end" grep -q 'Update complete' "$work/stop-2.out"
gadget_stop 0
keep "$work"/stop-* "$work/gadget-0.log" "$work/gadget-0.trace"
scenario_end
