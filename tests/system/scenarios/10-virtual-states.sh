# The runner as root (SG_IO straight to the disk) against the product gadget in every state the
# runner's virtual product knows: stdout, stderr and exit status are those of the host's
# `--virtual STATE` run of the same build, and the requests that reached the product over the
# wire are the ones the virtual product answered in process. Two states at a time, one on each
# port, each runner kept to its port with --port.
source /rig/tests/lib.sh
expected=/rig/expected
tick=$(cat "$expected/tick-ms")

# run_state N STATE: the gadget in STATE on port N and one runner for it; leaves the gadget's
# trace and log beside the runner's outputs.
run_state() {
  local n=$1 state=$2 r=$work/runner-$2 t0
  t0=$(now_ms)
  gadget_start "$n" "$state"
  if wait_for 20 disk_on "$n"; then
    torvex-isp-cli --allow-sample-firmware --tick-ms "$tick" --port "$(port_of "$n")" \
      --trace "$r.trace" >"$r.out" 2>"$r.err"
    echo $? >"$r.rc"
  fi
  gadget_stop "$n"
  cp "$work/gadget-$n.trace" "$work/gadget-$state.trace" 2>/dev/null
  cp "$work/gadget-$n.log" "$work/gadget-$state.log"
  echo $(($(now_ms) - t0)) >"$r.ms"
}

scenario_begin virtual-states
mapfile -t states <"$expected/states"
for ((i = 0; i < ${#states[@]}; i += 2)); do
  pair=("${states[@]:i:2}")
  for n in "${!pair[@]}"; do run_state "$n" "${pair[$n]}" & done
  wait
  for state in "${pair[@]}"; do
    r=$work/runner-$state failures_before=$scenario_failures
    check "$state: the product's disk appeared" test -e "$r.rc"
    check "$state: stdout as --virtual" same_file "$expected/$state.out" "$r.out"
    check "$state: stderr as --virtual" same_file "$expected/$state.err" "$r.err"
    check "$state: exit status as --virtual" same_file "$expected/$state.rc" "$r.rc"
    check "$state: the wire's requests as --virtual" \
      same_requests "$expected/$state.trace" "$work/gadget-$state.trace"
    check "$state: the runner's own requests as --virtual" \
      same_requests "$expected/$state.trace" "$r.trace"
    ((scenario_failures == failures_before)) || keep "$r".* "$work/gadget-$state".*
    figure "state_${state}_ms" "$(cat "$r.ms")"
  done
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
