# A plain user in an active logind session (the desk user, logged in on tty1): the udev rule gives
# that user the product's disk, the window and the runner run as the user, and their commands
# reach the product through torvex-isp-helper, started by the system bus under its installed unit
# with CAP_SYS_RAWIO only, after polkit allowed the active user; the update runs to the end. A
# user with no session, who can open the disk, is refused by polkit and nothing is sent.
source /rig/tests/lib.sh
expected=/rig/expected
d=/run/rig-desk

desk_session() { loginctl list-sessions --no-legend | awk '$3 == "desk" { print $1; exit }' | grep .; }
on_wire() { grep -qi "\"cdb\":\"$1" "$work/gadget-0.trace"; }

scenario_begin user-session
check "the desk user has a logind session" wait_for 60 desk_session
gadget_start 0 application-old
check "the product's disk appears" wait_for 20 disk_on 0
disk=$waited
check "the udev rule gives the active user the disk" bash -c "getfacl -p '$disk' | grep -q '^user:desk:rw'"

# A user without a session may open the disk (an ACL of the test's own), but polkit refuses it.
setfacl -m u:nosession:r "$disk"
setpriv --reuid=nosession --regid=nosession --init-groups --reset-env \
  torvex-isp-cli --allow-sample-firmware --timeout-s 8 >"$work/nosession.out" 2>"$work/nosession.err"
nosession_rc=$?
setfacl -x u:nosession "$disk"
check "the user with no session does not succeed" test "$nosession_rc" -ne 0
check "polkit's refusal is named" grep -qi 'not authori' "$work/nosession.out" "$work/nosession.err"
check "nothing reached the product" test ! -s "$work/gadget-0.trace"

rm -rf "$d" && mkdir -m 0777 "$d" && touch "$d/go"
check "the window reads the product's identities through the helper" wait_for 60 on_wire ffa005
touch "$d/window-seen"
check "the window was closed" wait_for 20 test -e "$d/window-done"
helper_pid=$(systemctl show -P MainPID torvex-isp-helper.service)
check "the bus started the helper under its unit" test "${helper_pid:-0}" -gt 0
check "as its own user" test "$(ps -o user= -p "$helper_pid")" = torvex-isp
check "with CAP_SYS_RAWIO as its only capability" \
  grep -q '^CapEff:[[:space:]]*0000000000020000$' "/proc/$helper_pid/status"
check "the session is active on a seat" grep -qx 'Active=yes' "$d/session"

window_lines=$(wc -l <"$work/gadget-0.trace")
touch "$d/runner-go"
check "the desk user's runner ends" wait_for 120 test -e "$d/done"
check "it succeeds" grep -qx 0 "$d/runner.rc"
check "its output is the root run's" same_file "$expected/application-old.out" "$d/runner.out"
tail -n +$((window_lines + 1)) "$work/gadget-0.trace" >"$work/desk-runner.trace"
check "its requests reached the product as the root run's" \
  same_requests "$expected/application-old.trace" "$work/desk-runner.trace"
gadget_stop 0
[ "$scenario_failures" -eq 0 ] || keep "$d"/* "$work"/nosession.* "$work/gadget-0.log"
journalctl -b -u torvex-isp-helper.service --no-pager >"$work/helper.journal" 2>&1
[ "$scenario_failures" -eq 0 ] || keep "$work/helper.journal"
scenario_end
