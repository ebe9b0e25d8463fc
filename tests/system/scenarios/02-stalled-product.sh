# A product that holds a command (its first EF32_0 main-memory block gets no status until the
# host resets it): through the helper, the run hears what the kernel made of it exactly as a run
# by SG_IO does (the same output, the same requests on the wire), and another client's product,
# updated through the same helper meanwhile, is not held up by it.
source /rig/tests/lib.sh
expected=/rig/expected
stall=timeout:opcode=29:nth=1

scenario_begin stalled-product
gadget_start 0 application-old --fault "$stall"
gadget_start 1 application-old
gadget_start 2 application-old --fault "$stall"
three_disks() { disk_on 0 && disk_on 1 && disk_on 2; }
check "the three products' disks appear" wait_for 20 three_disks

# Port 2 by SG_IO as root, port 0 through the helper as the rig user, both held alike.
torvex-isp-cli --allow-sample-firmware --port "$(port_of 2)" \
  >"$work/stall-direct.out" 2>"$work/stall-direct.err" &
direct_pid=$!
as rig torvex-isp-cli --allow-sample-firmware --port "$(port_of 0)" \
  >"$work/stall-helper.out" 2>"$work/stall-helper.err" &
held_pid=$!
held() { grep -qi '"cdb":"ff29' "$work/gadget-0.trace"; }
check "the product holds the helper's command" wait_for 60 held

t0=$(now_ms)
as rig torvex-isp-cli --allow-sample-firmware --port "$(port_of 1)" \
  >"$work/stall-other.out" 2>"$work/stall-other.err"
other_rc=$?
figure stalled_other_update_ms $(($(now_ms) - t0))
check "another product's update through the same helper succeeds meanwhile" test "$other_rc" -eq 0
# Still the one block on the first product's wire: the host has not given up on it yet.
check "while the first one still holds its command" \
  test "$(grep -ci '"cdb":"ff29' "$work/gadget-0.trace")" -eq 1
check "with the output of an update of its own" same_file "$expected/application-old.out" \
  "$work/stall-other.out"

wait "$held_pid"
held_rc=$?
wait "$direct_pid"
direct_rc=$?
check "the held run ends as the run by SG_IO does" test "$held_rc" -eq "$direct_rc"
check "with the same output" same_file "$work/stall-direct.out" "$work/stall-helper.out"
check "the same requests reached both held products" \
  same_requests "$work/gadget-2.trace" "$work/gadget-0.trace"
for n in 0 1 2; do gadget_stop "$n"; done
keep "$work"/stall-* "$work"/gadget-[012].log "$work"/gadget-[012].trace
scenario_end
