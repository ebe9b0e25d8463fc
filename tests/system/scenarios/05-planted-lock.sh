# Another local user (nobody) plants lock files where the tool used to keep them, in /run/lock,
# which every user may write: a FIFO for one port and a file it holds locked for the other. It
# can plant nothing where the tool keeps its locks now, and neither plant stops or hangs the
# tool: a run through the helper and a run by root update their products. Two instances are
# still kept off one product across users: a run by root waits while the helper holds it.
source /rig/tests/lib.sh
expected=/rig/expected

scenario_begin planted-lock
gadget_start 0 application-old
gadget_start 1 application-old
two_disks() { disk_on 0 && disk_on 1; }
check "the two products' disks appear" wait_for 20 two_disks
p0=$(port_of 0) p1=$(port_of 1)
as nobody mkfifo "/run/lock/torvex-isp-$p0.lock"
as nobody flock "/run/lock/torvex-isp-$p1.lock" sleep infinity &
holder=$!
check "nobody holds a lock file for one port" wait_for 10 test -e "/run/lock/torvex-isp-$p1.lock"
check "and has planted a FIFO for the other" test -p "/run/lock/torvex-isp-$p0.lock"
check "but nothing where the tool keeps its locks now" \
  bash -c "! setpriv --reuid=nobody --regid=nogroup --clear-groups mkfifo /run/torvex-isp/torvex-isp-9-9.lock"

as rig torvex-isp-cli --allow-sample-firmware --port "$p0" \
  >"$work/planted-helper.out" 2>"$work/planted-helper.err" &
helper_run=$!
on_wire() { grep -qi '"cdb":"ff29' "$work/gadget-0.trace"; }
check "the run through the helper reaches its product" wait_for 60 on_wire
torvex-isp-cli --allow-sample-firmware --port "$p0" --trace "$work/planted-second.trace" \
  >"$work/planted-second.out" 2>"$work/planted-second.err" &
second_run=$!
timeout 120 torvex-isp-cli --allow-sample-firmware --port "$p1" >"$work/planted-root.out" \
  2>"$work/planted-root.err"
root_rc=$?
check "root's run behind nobody's held file updates its product" test "$root_rc" -eq 0
check "with the output of an update" same_file "$expected/application-old.out" "$work/planted-root.out"
wait "$helper_run"
helper_rc=$?
check "the run through the helper behind nobody's FIFO updates its product" test "$helper_rc" -eq 0
check "with the output of an update" same_file "$expected/application-old.out" "$work/planted-helper.out"
wait "$second_run"
second_rc=$?
# A second instance, as root, is kept off the product the helper holds for the first: it waits
# until that one is done, then finds the product updated.
check "a second run by root on that product is told who holds it" \
  grep -q 'the product is in use by torvex-isp-helper' "$work/planted-second.out"
check "and finds it updated when its holder is done" grep -q 'already updated' "$work/planted-second.err"
check "it ends 0" test "$second_rc" -eq 0
cat "$expected/application-old.trace" "$work/planted-second.trace" >"$work/planted-both.trace"
check "the product had the update's requests, then the second run's reads" \
  same_requests "$work/planted-both.trace" "$work/gadget-0.trace"
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
pkill -u nobody -x sleep
rm -f "/run/lock/torvex-isp-$p0.lock" "/run/lock/torvex-isp-$p1.lock"
gadget_stop 0
gadget_stop 1
# The last client of the helper has gone: the idle-exit scenario looks at what follows.
date +%s >"$work/helper-last-client"
keep "$work"/planted-* "$work"/gadget-[01].log
scenario_end
