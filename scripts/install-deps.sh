#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the programs need, if any is missing.
# With arguments: installs those packages instead, if missing.
set -euo pipefail

packages=("$@")
((${#packages[@]})) || packages=(
  build-essential cmake ninja-build pkg-config clang-14 clang-format-14
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev libudev-dev umockdev libumockdev-dev
  libsystemd-dev dbus-daemon desktop-file-utils appstream nlohmann-json3-dev
  xvfb xauth
  qemu-system-x86 mmdebstrap e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi
