# Shared by the guest's scenarios: assertions and figures written to the results file on the
# host's share, the product gadgets, and finding a port's disk in sysfs.
# shellcheck shell=bash

rig=/rig
results=$rig/out/results
work=/var/tmp/rig
mkdir -p "$work"

scenario=""
scenario_failures=0
scenario_start=0

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# scenario_begin NAME: the following checks belong to NAME; its time is measured until
# scenario_end.
scenario_begin() {
  scenario=$1 scenario_failures=0 scenario_start=$(now_ms)
  echo "=== $scenario" >/dev/console
}

scenario_end() {
  local ms=$(($(now_ms) - scenario_start)) verdict=pass
  ((scenario_failures == 0)) || verdict=FAIL
  if ((scenario_failures)); then
    mkdir -p "$rig/out/$scenario" && dmesg >"$rig/out/$scenario/dmesg" && cp "$work/check.log" "$rig/out/$scenario/"
  fi
  echo "scenario $scenario $verdict ${ms}ms" >>"$results"
}

# check DESCRIPTION COMMAND...: runs COMMAND; its exit status is the check's verdict.
check() {
  local what=$1
  shift
  if "$@" >>"$work/check.log" 2>&1; then
    echo "  ok   $scenario: $what" >>"$results"
  else
    echo "  FAIL $scenario: $what" >>"$results"
    scenario_failures=$((scenario_failures + 1))
  fi
}

# figure NAME VALUE: a measured figure, printed by the host after the run.
figure() { echo "figure $1 $2" >>"$results"; }

# keep FILE...: copies files to the host's share for a failure's study.
keep() { mkdir -p "$rig/out/$scenario" && cp -f "$@" "$rig/out/$scenario/" 2>/dev/null || true; }

same_file() { cmp -s "$1" "$2" || { diff -u "$1" "$2" | head -40 >&2; return 1; }; }

# as USER COMMAND...: COMMAND as USER with that user's groups, in a fresh environment, outside any
# session (setpriv execs it: its pid is the command's).
as() {
  local user=$1
  shift
  setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups --reset-env "$@"
}

# ended_cleanly UNIT: the unit has ended with status 0, no time-out and no kill by systemd;
# what systemd says of it goes to the check log. (systemd also counts a death by SIGTERM as
# success: the scenarios look for the helper's own last words as well.)
ended_cleanly() {
  local ending="" property
  for property in ActiveState Result ExecMainStatus; do
    ending+="$property=$(systemctl show -P "$property" "$1") "
  done
  echo "$1: $ending"
  [ "$ending" = "ActiveState=inactive Result=success ExecMainStatus=0 " ]
}

# The vendor requests of a trace, as the keys both the runner's and the gadget's traces hold.
requests_of() {
  jq -c 'select(.op == "request")
         | {cdb: (.cdb | ascii_upcase), dir, length, sent_sha256,
            received: (.received | ascii_upcase), status, sense: (.sense | ascii_upcase)}' "$1"
}
same_requests() { same_file <(requests_of "$1") <(requests_of "$2"); }

# The USB port (as the runner names it) of dummy_hcd's Nth port, and the disks behind it.
port_of() {
  local hub
  for hub in /sys/devices/platform/dummy_hcd."$1"/usb*; do
    [ -d "$hub/$(basename "$hub" | sed 's/^usb//')-1" ] && { echo "$(basename "$hub" | sed 's/^usb//')-1"; return 0; }
  done
  return 1
}

# disk_on N: the SCSI direct-access disk (sd) on dummy_hcd's Nth port, if any.
disk_on() {
  local port block
  port=$(port_of "$1") || return 1
  for block in /sys/block/sd*; do
    [ -e "$block" ] || continue
    readlink -f "$block" | grep -q "/$port:1\.0/" || continue
    echo "/dev/$(basename "$block")"
    return 0
  done
  return 1
}

# wait_for SECONDS COMMAND...: until COMMAND succeeds (its output kept in $waited).
wait_for() {
  local until=$(($(now_ms) + $1 * 1000))
  shift
  while ! waited=$("$@" 2>/dev/null); do
    (($(now_ms) < until)) || return 1
    sleep 0.1
  done
  udevadm settle -t 10
}

# gadget_start N STATE [OPTION...]: the product on dummy_hcd's Nth port, its wire trace in
# $work/gadget-N.trace; gadget_stop N takes it away again and waits until its disk left.
declare -A gadget_pid
gadget_start() {
  local n=$1 state=$2
  shift 2
  rm -f "$work/gadget-$n.trace"
  "$rig/bin/torvex-product-gadget" --state "$state" --udc "dummy_udc.$n" --name "product$n" \
    --trace "$work/gadget-$n.trace" "$@" >"$work/gadget-$n.log" 2>&1 &
  gadget_pid[$n]=$!
}
gadget_stop() {
  local n=$1
  [ -n "${gadget_pid[$n]:-}" ] || return 0
  kill "${gadget_pid[$n]}" 2>/dev/null
  wait "${gadget_pid[$n]}" 2>/dev/null
  unset "gadget_pid[$n]"
  local until=$(($(now_ms) + 10000))
  while disk_on "$n" >/dev/null && (($(now_ms) < until)); do sleep 0.1; done
  udevadm settle -t 10
}
