#!/bin/sh
# Renders the tool's window (each status picture, the full window, About, Help) and the demo's
# control window to docs/screenshots/, at 100 % and 200 % scale, offscreen.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
out=$root/docs/screenshots

cmake --build "$build" --target torvex-window-screenshots -j2
export QT_QPA_PLATFORM=offscreen
QT_SCALE_FACTOR=1 "$build/app/qt/torvex-window-screenshots" "$out"
QT_SCALE_FACTOR=2 "$build/app/qt/torvex-window-screenshots" "$out"
ls "$out"
