# The runner as root (SG_IO straight to the disk) against the product gadget in every state the
# runner's virtual product knows: stdout, stderr and exit status are those of the host's
# `--virtual STATE` run of the same build, and the requests that reached the product over the
# wire are the ones the virtual product answered in process.
source /rig/tests/lib.sh
expected=/rig/expected

scenario_begin virtual-states
for state in $(cat "$expected/states"); do
  t0=$(now_ms) failures_before=$scenario_failures
  gadget_start 0 "$state"
  if ! wait_for 20 disk_on 0; then
    check "$state: the product's disk appears" false
    gadget_stop 0
    continue
  fi
  r=$work/runner-$state
  torvex-isp-cli --allow-sample-firmware --tick-ms "$(cat "$expected/tick-ms")" \
    --trace "$r.trace" >"$r.out" 2>"$r.err"
  echo $? >"$r.rc"
  gadget_stop 0
  check "$state: stdout as --virtual" same_file "$expected/$state.out" "$r.out"
  check "$state: stderr as --virtual" same_file "$expected/$state.err" "$r.err"
  check "$state: exit status as --virtual" same_file "$expected/$state.rc" "$r.rc"
  check "$state: the wire's requests as --virtual" \
    same_requests "$expected/$state.trace" "$work/gadget-0.trace"
  check "$state: the runner's own requests as --virtual" \
    same_requests "$expected/$state.trace" "$r.trace"
  cp "$work/gadget-0.trace" "$work/gadget-$state.trace" 2>/dev/null
  cp "$work/gadget-0.log" "$work/gadget-$state.log"
  ((scenario_failures == failures_before)) || keep "$r".* "$work/gadget-$state".*
  figure "state_${state}_ms" $(($(now_ms) - t0))
done
# The time of one command through the real kernel (SG_IO, usb-storage, dummy_hcd, FunctionFS and
# the gadget's model), as the runner measured it: median over every run above, by kind.
median_us() {
  cat "$work"/runner-*.trace | jq -s "[.[] | select(.op == \"request\" and $1) | .us] | sort
    | if length == 0 then \"-\" else .[length / 2 | floor] end"
}
figure command_no_data_median_us "$(median_us '.length == 0')"
figure command_64KiB_out_median_us "$(median_us '.length == 65536')"
figure command_64B_in_median_us "$(median_us '.length == 64')"
scenario_end
