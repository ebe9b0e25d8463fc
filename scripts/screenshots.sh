#!/bin/sh
# Renders the tool's window (each status picture, the full window, About, Help) and the demo's
# control window, and the station on eight virtual products (mid-update, all done, one failed), to
# docs/screenshots/, at 100 % and 200 % scale, offscreen.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
out=$root/docs/screenshots

cmake --build "$build" --target torvex-window-screenshots torvex-station-screenshots -j2
export QT_QPA_PLATFORM=offscreen
QT_SCALE_FACTOR=1 "$build/app/qt/torvex-window-screenshots" "$out"
QT_SCALE_FACTOR=2 "$build/app/qt/torvex-window-screenshots" "$out"
QT_SCALE_FACTOR=1 "$build/app/station/torvex-station-screenshots" "$out"
QT_SCALE_FACTOR=2 "$build/app/station/torvex-station-screenshots" "$out"
ls "$out"
