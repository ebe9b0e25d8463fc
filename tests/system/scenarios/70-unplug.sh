# The product leaves in the middle of programming (its first EF32_0 main-memory block never
# completes) and comes back a moment later in the code its flash still runs: the run ends in an
# honest failure, never in success, and a second run updates it to the end.
source /rig/tests/lib.sh

scenario_begin unplug
gadget_start 0 application-old --fault gone:opcode=29
check "the product's disk appears" wait_for 20 disk_on 0
torvex-isp-cli --allow-sample-firmware >"$work/unplug-1.out" 2>"$work/unplug-1.err"
rc1=$?
check "the interrupted run fails (exit 1)" test "$rc1" -eq 1
check "and does not claim success" bash -c "! grep -q 'Update complete' '$work/unplug-1.out'"
check "the product comes back" wait_for 20 disk_on 0
torvex-isp-cli --allow-sample-firmware >"$work/unplug-2.out" 2>"$work/unplug-2.err"
rc2=$?
check "a second run succeeds" test "$rc2" -eq 0
check "and completes the update" grep -q 'Update complete' "$work/unplug-2.out"
gadget_stop 0
keep "$work"/unplug-* "$work/gadget-0.log"
scenario_end
