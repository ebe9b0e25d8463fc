# The two-run update from application code across the real re-enumeration: the product leaves
# after the first run's jump, the kernel enumerates it in OTA code, the runner follows it there,
# writes EF64, and the product comes back in application code with what was written; a second
# run finds it already updated.
source /rig/tests/lib.sh

enumerations() { dmesg | grep -c 'New USB device found, idVendor=2175, idProduct=5001'; }

scenario_begin two-run-update
gadget_start 0 application-old
check "the product's disk appears" wait_for 20 disk_on 0
before=$(enumerations)
torvex-isp-cli --allow-sample-firmware >"$work/two-run-1.out" 2>&1
rc1=$?
check "the first run succeeds" test "$rc1" -eq 0
check "it ends in Update complete" grep -q 'Update complete' "$work/two-run-1.out"
check "it followed the product into OTA code" grep -q '^SN:00000000EF32' "$work/two-run-1.out"
check "the product is back in application code" wait_for 20 disk_on 0
after=$(enumerations)
check "the kernel enumerated the product twice more (OTA, then application)" \
  test $((after - before)) -eq 2
rc2=none
if [ -n "$waited" ]; then
  torvex-isp-cli --allow-sample-firmware >"$work/two-run-2.out" 2>&1
  rc2=$?
fi
check "a second run finds it already updated" grep -qx 'Your device is already updated.' "$work/two-run-2.out"
check "and exits 0" test "$rc2" -eq 0
gadget_stop 0
[ "$scenario_failures" -eq 0 ] || keep "$work"/two-run-*.out "$work/gadget-0.log" "$work/gadget-0.trace"
scenario_end
