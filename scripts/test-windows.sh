#!/usr/bin/env bash
# The Windows build: cross-compiles the core, the Windows back end, the headless runner and the
# tests with MinGW-w64 (preset "windows"), and runs the tests under Wine. No display is needed:
# the Wine prefix lives in the build directory and uses Wine's null display driver.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine wine64 googletest cmake ninja-build \
  qt6-base-dev  # the host program that draws the Windows pictures

# The same prefix and settings as the preset's emulator, so build steps and tests share it.
export WINEPREFIX="$PWD/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.torvex-ready" ]; then
  echo "=== windows: preparing the Wine prefix"
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
  wineserver --wait
  touch "$WINEPREFIX/.torvex-ready"
fi

jobs=$(nproc)
echo "=== windows: configure and build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
echo "=== windows: tests under Wine"
status=0
if ! ctest --preset windows -j "$jobs"; then
  # Wine starts slowly on a busy machine: a failed test gets one more run on its own.
  echo "=== windows: running the failed tests once more, alone"
  ctest --preset windows --rerun-failed || status=$?
fi
wineserver --wait
exit "$status"
