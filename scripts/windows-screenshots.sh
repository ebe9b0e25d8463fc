#!/usr/bin/env bash
# Pictures of the Windows programs under Wine on a virtual X server, in
# docs/screenshots/windows/: the demo's window as an update of the virtual product goes
# (Ready, Updating, Update complete!), a refusal with its message box, and torvex-isp.exe on
# this machine (no product) with its system menu, About and Help. The log of the update is saved beside
# them. Uses a Wine prefix of its own (build/wine-x11) with Wine's X11 driver and Wine's fonts
# (Tahoma, which the dialog font maps to), not the tests' prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "${1:-}" != "--inside-x" ]; then
  bash scripts/install-deps.sh wine wine64 fonts-wine xvfb xauth xdotool xclip imagemagick x11-apps
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target torvex-isp torvex-isp-demo -j2
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside-x
fi

programs=$root/build/windows/app/win32
out=$root/docs/screenshots/windows
mkdir -p "$out"
export WINEPREFIX=$root/build/wine-x11 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.torvex-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver --wait
  # Wine finds its own fonts in the prefix's font folder.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  touch "$WINEPREFIX/.torvex-ready"
fi

# Runs a program in a Wine desktop of the given size at the screen's top-left corner, which
# draws the windows' frames as Windows does (there is no window manager here). The sizes keep
# each box from lying wholly over another window of the program: Wine on Xvfb leaves such a box
# unpainted (black).
start() {
  local size=$1
  shift
  wine explorer "/desktop=torvex,$size" "$@" >/dev/null 2>&1 &
}
stop() {
  wineserver -k || true
  wineserver --wait || true
  sleep 1
}
shot() {  # shot NAME WIDTHxHEIGHT
  xwd -root -silent | convert xwd:- -crop "$2+0+0" +repage "$out/$1.png"
  echo "  $out/$1.png"
}
click() { xdotool mousemove "$1" "$2" click 1; }
keys() { xdotool key --delay 150 "$@"; }

echo "=== demo, application-old: Ready, Updating, Update complete!"
start 640x690 "$programs/torvex-isp-demo.exe" application-old
sleep 6
shot demo-ready 640x690
click 517 92  # Update F/W
sleep 1
shot demo-updating 640x690
sleep 8
shot demo-complete 640x690
# The tool's log, copied from the control window.
click 300 600
keys ctrl+a ctrl+c
sleep 1
xclip -o -selection clipboard | tr -d '\r' >"$out/demo-update-log.txt" || true
echo "  $out/demo-update-log.txt"

stop

echo "=== demo, mask-0110: refused, with its message box"
start 1000x690 "$programs/torvex-isp-demo.exe" mask-0110
sleep 8
click 517 92
sleep 2
shot demo-not-supported 1000x690
stop

echo "=== torvex-isp.exe on this machine (no product), its system menu, Help and About"
start 800x640 "$programs/torvex-isp.exe"
sleep 5
shot isp-standby 640x240
click 300 100  # the window comes to the front
keys alt+space
sleep 1
shot system-menu 640x300
keys Up Return
sleep 2
shot help 800x640
keys Escape
sleep 1
keys alt+space Up Up Return
sleep 2
shot about 800x640
keys Return
stop
