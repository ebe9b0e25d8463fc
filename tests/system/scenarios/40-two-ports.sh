# Two products on two ports: a runner without --port sends nothing and says why; two runners with
# --port side by side each update their own product, and each product's wire holds only its own
# update.
source /rig/tests/lib.sh
expected=/rig/expected
tick=$(cat "$expected/tick-ms")

scenario_begin two-ports
gadget_start 0 application-old
gadget_start 1 application-old
check "the first product's disk appears" wait_for 20 disk_on 0
check "the second product's disk appears" wait_for 20 disk_on 1
torvex-isp-cli --allow-sample-firmware >"$work/both.out" 2>&1
check "a runner without --port exits 4" test $? -eq 4
check "and sends nothing to either" test ! -s "$work/gadget-0.trace" -a ! -s "$work/gadget-1.trace"
for n in 0 1; do
  torvex-isp-cli --allow-sample-firmware --tick-ms "$tick" --port "$(port_of $n)" \
    >"$work/port-$n.out" 2>"$work/port-$n.err" &
  runner[$n]=$!
done
for n in 0 1; do
  wait "${runner[$n]}"
  rc[$n]=$?
done
gadget_stop 0
gadget_stop 1
for n in 0 1; do
  check "port $n: the runner exits 0" test "${rc[$n]}" -eq 0
  check "port $n: its output is the one product's update" \
    same_file "$expected/application-old.out" "$work/port-$n.out"
  check "port $n: the product's wire holds only its own update" \
    same_requests "$expected/application-old.trace" "$work/gadget-$n.trace"
done
[ "$scenario_failures" -eq 0 ] || keep "$work"/port-* "$work/both.out" "$work"/gadget-[01].*
scenario_end
