#!/usr/bin/env bash
# The Windows build: cross-compiles the core, the Windows back end, the headless runner and the
# tests with MinGW-w64 (preset "windows"), and runs the tests under Wine. The build itself needs
# no Wine. No display is needed: the Wine prefix lives in the build directory and uses Wine's
# null display driver. Logs in build/test-logs/windows* (see scripts/ctest-stage.sh).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

# qt6-base-dev: the host program that draws the Windows pictures.
bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine wine64 googletest cmake \
  ninja-build qt6-base-dev || exit 1
source scripts/ctest-stage.sh
mkdir -p "$test_logs"
rm -f "$test_logs"/windows*

# The same prefix and settings as the preset's emulator, so that the tests share it.
export WINEPREFIX="$PWD/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.torvex-ready" ]; then
  echo "=== windows: preparing the Wine prefix"
  mkdir -p "$WINEPREFIX"
  if ! { wineboot --init >/dev/null 2>&1 &&
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null; }; then
    echo "=== windows: the Wine prefix could not be prepared"
    exit 1
  fi
  wineserver --wait
  touch "$WINEPREFIX/.torvex-ready"
fi

jobs=$(nproc)
echo "=== windows: configure and build"
if ! cmake --preset windows >/dev/null || ! cmake --build --preset windows -j "$jobs"; then
  echo "=== windows: the build failed"
  exit 1
fi
echo "=== windows: tests under Wine"
status=0
ctest_stage windows "$jobs" || status=1
wineserver --wait
exit "$status"
