# polkit slow to answer (the rig's rule answers the user "slow" after eight seconds, as an
# administrator slow to type the password): a client that leaves while its claim waits takes
# the disk and the product's lock away with it at once, so a run by root reaches the product
# before polkit has answered; a client that waits hears the answer and updates the product.
source /rig/tests/lib.sh
expected=/rig/expected

scenario_begin slow-polkit
gadget_start 0 application-old
check "the product's disk appears" wait_for 20 disk_on 0
port=$(port_of 0)
polkit_deciding() { pgrep -u polkitd -x sleep >/dev/null; }

as slow torvex-isp-cli --allow-sample-firmware --port "$port" \
  >"$work/slow-left.out" 2>"$work/slow-left.err" &
left_pid=$!
check "polkit is asked and takes its time" wait_for 20 polkit_deciding
t0=$(now_ms)
pkill -KILL -u slow -x torvex-isp-cli
wait "$left_pid" 2>/dev/null
torvex-isp-cli --list --trace "$work/slow-list.trace" >"$work/slow-list.out" 2>"$work/slow-list.err"
list_rc=$?
figure slow_polkit_list_after_leaving_ms $(($(now_ms) - t0))
check "polkit has not answered yet" polkit_deciding
check "root's listing reached the product meanwhile" test "$list_rc" -eq 0
check "and read its identities" grep -q '"op":"request"' "$work/slow-list.trace"
check "nothing but the listing reached it" same_requests "$work/slow-list.trace" "$work/gadget-0.trace"
check "polkit answers in the end" wait_for 20 bash -c '! pgrep -u polkitd -x sleep'

lines=$(wc -l <"$work/gadget-0.trace")
t0=$(now_ms)
as slow torvex-isp-cli --allow-sample-firmware --port "$port" \
  >"$work/slow-waited.out" 2>"$work/slow-waited.err"
waited_rc=$?
figure slow_polkit_update_ms $(($(now_ms) - t0))
check "a client that waits for the answer updates the product" test "$waited_rc" -eq 0
check "with the output of an update" same_file "$expected/application-old.out" "$work/slow-waited.out"
tail -n +$((lines + 1)) "$work/gadget-0.trace" >"$work/slow-waited.trace"
check "and its requests" same_requests "$expected/application-old.trace" "$work/slow-waited.trace"
gadget_stop 0
keep "$work"/slow-* "$work/gadget-0.log" "$work/gadget-0.trace"
scenario_end
