# While the product is written, logind lists the tool's sleep inhibitor; once the run ended, no
# longer.
source /rig/tests/lib.sh

inhibitor_listed() { systemd-inhibit --list --no-pager | grep -q 'Torvex ISP'; }
written() { grep -qi '"cdb":"ff29' "$work/gadget-0.trace"; }

scenario_begin inhibitor
gadget_start 0 application-old
check "the product's disk appears" wait_for 20 disk_on 0
torvex-isp-cli --allow-sample-firmware >"$work/inhibit.out" 2>&1 &
runner=$!
check "the product is being programmed" wait_for 60 written
inhibitor_listed
check "logind lists the inhibitor while the product is written" test $? -eq 0
systemd-inhibit --list --no-pager >"$work/inhibitors" 2>&1
wait "$runner"
check "the update succeeds" test $? -eq 0
check "the inhibitor is gone after the run" bash -c '! systemd-inhibit --list --no-pager | grep -q "Torvex ISP"'
gadget_stop 0
[ "$scenario_failures" -eq 0 ] || keep "$work/inhibit.out" "$work/inhibitors" "$work/gadget-0.log"
scenario_end
