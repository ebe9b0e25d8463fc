#!/usr/bin/env bash
# The desk user's login shell on tty1 (an active logind seat session): waits for the root side of
# the user-session scenario to ask, then runs the window and the runner as this user, their
# commands going through torvex-isp-helper, and reports back in /run/rig-desk.
d=/run/rig-desk
while [ ! -e "$d/go" ]; do sleep 0.2; done
export QT_QPA_PLATFORM=offscreen TORVEX_ALLOW_SAMPLE_FIRMWARE=1
loginctl show-session "$XDG_SESSION_ID" -p Active -p Seat -p Class >"$d/session" 2>&1
# The window reads the product's identities through the helper; it runs until the root side saw
# them arrive on the wire.
torvex-isp >"$d/window.out" 2>"$d/window.err" &
echo $! >"$d/window.pid"
while [ ! -e "$d/window-seen" ] && kill -0 "$(cat "$d/window.pid")" 2>/dev/null; do sleep 0.2; done
kill "$(cat "$d/window.pid")" 2>/dev/null
wait
touch "$d/window-done"
while [ ! -e "$d/runner-go" ]; do sleep 0.2; done
torvex-isp-cli --allow-sample-firmware >"$d/runner.out" 2>"$d/runner.err"
echo $? >"$d/runner.rc"
touch "$d/done"
exec sleep infinity
