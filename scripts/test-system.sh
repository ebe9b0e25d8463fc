#!/usr/bin/env bash
# The tool on a real Linux kernel, USB stack and desktop services: a Debian 12 guest made here
# with mmdebstrap from Debian's archive, the project's own Debian package installed into it with
# apt, Debian's kernel booted by QEMU (KVM when it runs a guest, TCG otherwise), the product as a
# USB device (torvex-product-gadget on dummy_hcd), and the scenarios of tests/system/ run in the
# guest straight after boot. Results come back over a virtio-9p share; the run's figures are
# printed; any failed check, a missing scenario or a guest that could not run fails the run.
#
#   scripts/test-system.sh [--reuse-image] [BUILD_DIR]     (default build/default; needs root)
#   SYSTEM_SCENARIOS=GLOB scripts/test-system.sh ...       (only the scenarios named GLOB)
#
# Everything is made again on each run under build/system/ (image, kernel, share, logs);
# --reuse-image keeps the last run's image and kernel (while working on the scenarios only).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

reuse_image=0
if [ "${1:-}" = --reuse-image ]; then
  reuse_image=1
  shift
fi
build=${1:-build/default}
sys=build/system
share=$sys/share
rig_t0=$(date +%s%N)

fail() {
  echo "system: FAILED: $*" >&2
  exit 1
}
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
seconds() { printf '%d.%01d s' $(($1 / 1000)) $((($1 % 1000) / 100)); }

# What the rig cannot do without: say which, never pass without having run.
for tool in qemu-system-x86_64:qemu-system-x86 mmdebstrap:mmdebstrap mke2fs:e2fsprogs; do
  command -v "${tool%%:*}" >/dev/null ||
    fail "cannot run: ${tool%%:*} is missing (Debian package ${tool#*:})"
done
[ "$(id -u)" -eq 0 ] ||
  fail "cannot run: needs root (mmdebstrap into a directory that keeps the guest's owners for mke2fs -d)"

# The build, configured for the package's prefix, and its Debian package.
t0=$(date +%s%N)
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null || fail "configure $build"
else
  cmake --preset default -DCMAKE_INSTALL_PREFIX=/usr >/dev/null || fail "configure $build"
fi
cmake --build "$build" -j "$(nproc)" >"$sys.build.log" 2>&1 ||
  fail "build $build (see $sys.build.log)"
image=$sys/root.img
if ((reuse_image)) && [ -f "$image" ]; then
  find "$sys" -mindepth 1 -maxdepth 1 ! -name root.img ! -name boot -exec rm -rf {} +
else
  reuse_image=0
  rm -rf "$sys"
fi
mkdir -p "$sys" "$share/out" "$share/expected"
mv "$sys.build.log" "$sys/build.log"
gadget=$build/simulator/gadget/torvex-product-gadget
cli=$build/cli/torvex-isp-cli
[ -x "$gadget" ] || fail "$gadget was not built"
rm -f "$build"/torvex-isp_*.deb
(cd "$build" && cpack --config CPackConfig.cmake) >"$sys/cpack.log" 2>&1 || fail "cpack (see $sys/cpack.log)"
deb=$(ls "$build"/torvex-isp_*.deb)
echo "system: package $(basename "$deb") in $(seconds "$(ms_since "$t0")")"

# The expected outcomes: the host's --virtual run of each state, by the same build, with its
# trace. They run beside the image's making (they wait on the virtual product's timer).
tick_ms=1000
echo "$tick_ms" >"$share/expected/tick-ms"
"$cli" --help | sed -n '/STATE is one of:/{n;p}' | tr -d ' ' | tr ',' '\n' >"$share/expected/states"
[ -s "$share/expected/states" ] || fail "no states in $cli --help"
expected_pids=()
while read -r state; do
  (
    e=$share/expected/$state
    "$cli" --virtual "$state" --tick-ms "$tick_ms" --trace "$e.trace" >"$e.out" 2>"$e.err"
    echo $? >"$e.rc"
  ) &
  expected_pids+=($!)
done <"$share/expected/states"

make_image() {
  # The guest's root from Debian's archive: systemd, udev, the bus, polkit, udisks2, the kernel
  # (its initramfs only loads what a virtio disk with ext4 needs), what the scenarios use, and the
  # project's package installed by apt as a user installs it.
  t0=$(date +%s%N)
  root=$sys/root
  guest=tests/system/guest
  packages=(
    systemd systemd-sysv udev dbus polkitd pkexec udisks2 dosfstools inotify-tools jq kmod procps acl
    linux-image-amd64 libqt6widgets6 libqt6gui6
  )
  # Left out of the guest, unused by it: the kernel's modules for hardware a QEMU guest has not
  # got, and Mesa's drivers (the window runs offscreen, which draws without OpenGL).
  trim=()
  for dir in drivers/gpu drivers/media drivers/net drivers/infiniband drivers/staging drivers/iio \
    drivers/isdn drivers/bluetooth drivers/mtd drivers/hwmon drivers/thunderbolt sound \
    net/wireless net/mac80211 net/bluetooth net/netfilter net/ipv4/netfilter net/ipv6/netfilter \
    fs/btrfs fs/xfs fs/ocfs2 fs/gfs2 fs/nfs fs/nfsd fs/ceph fs/smb fs/f2fs; do
    trim+=(--dpkgopt="path-exclude=/lib/modules/*/kernel/$dir/*")
  done
  trim+=(--dpkgopt='path-exclude=/usr/lib/x86_64-linux-gnu/dri/*')
  trim+=(--dpkgopt='path-exclude=/usr/lib/x86_64-linux-gnu/libLLVM-15.so*')
  mmdebstrap --variant=apt --include="$(
    IFS=,
    echo "${packages[*]}"
  )" \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-include=/usr/share/doc/torvex-isp/*' \
    --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/locale/*' \
    --dpkgopt='path-exclude=/usr/share/info/*' \
    "${trim[@]}" \
    --essential-hook='mkdir -p "$1/etc/initramfs-tools/conf.d"
      printf "MODULES=list\nCOMPRESS=zstd\n" >"$1/etc/initramfs-tools/conf.d/rig.conf"
      printf "virtio_pci\nvirtio_blk\next4\n" >"$1/etc/initramfs-tools/modules"' \
    --customize-hook="copy-in $deb /tmp" \
    --customize-hook="chroot \"\$1\" apt-get install -y --no-install-recommends /tmp/$(basename "$deb")" \
    --customize-hook="upload $guest/torvex-rig.service /etc/systemd/system/torvex-rig.service" \
    --customize-hook='mkdir -p "$1/etc/systemd/system/getty@tty1.service.d" "$1/rig"' \
    --customize-hook="upload $guest/desk-profile /rig-profile" \
    --customize-hook="upload $guest/autologin.conf /etc/systemd/system/getty@tty1.service.d/autologin.conf" \
    --customize-hook="upload $guest/rig.rules /etc/polkit-1/rules.d/50-rig.rules" \
    --customize-hook='ln -s /etc/systemd/system/torvex-rig.service "$1/etc/systemd/system/multi-user.target.wants/"
      chroot "$1" useradd -m -s /bin/bash desk
      chroot "$1" useradd -m -s /bin/bash nosession
      chroot "$1" useradd -m -s /bin/bash -G disk rig
      chroot "$1" useradd -m -s /bin/bash -G disk slow
      cp "$1/rig-profile" "$1/home/desk/.bash_profile" && rm "$1/rig-profile"
      chroot "$1" chown desk:desk /home/desk/.bash_profile
      echo rig >"$1/etc/hostname"
      printf "/dev/vda / ext4 rw 0 1\nrig /rig 9p trans=virtio,version=9p2000.L,msize=262144 0 0\n" >"$1/etc/fstab"
      echo "options usb-storage delay_use=0" >"$1/etc/modprobe.d/rig.conf"
      rm -f "$1"/tmp/*.deb' \
    --customize-hook="sync-out /boot $sys/boot" \
    bookworm "$root" >"$sys/mmdebstrap.log" 2>&1 || fail "mmdebstrap (see $sys/mmdebstrap.log)"
  root_ms=$(ms_since "$t0")
  t0=$(date +%s%N)
  size_mb=$(($(du -sm "$root" | cut -f1) + 256))
  mke2fs -q -t ext4 -L rig -d "$root" "$image" "${size_mb}M" || fail "mke2fs -d"
  rm -rf "$root"
  image_ms=$(ms_since "$t0")
  echo "system: guest root (mmdebstrap) $(seconds "$root_ms"), ext4 image of ${size_mb} MB $(seconds "$image_ms")"

}
((reuse_image)) || make_image

kernel=$(ls "$sys"/boot/vmlinuz-* 2>/dev/null | head -1)
initrd=$(ls "$sys"/boot/initrd.img-* 2>/dev/null | head -1)
[ -n "$kernel" ] && [ -n "$initrd" ] || fail "no kernel or initramfs in the guest's /boot"

# KVM where it really runs a guest (a device node that opens is not enough), TCG otherwise.
accel=tcg
if [ -w /dev/kvm ]; then
  timeout 10 qemu-system-x86_64 -accel kvm -m 256 -nodefaults -display none -no-reboot \
    -serial "file:$sys/kvm-probe.log" -kernel "$kernel" -append "console=ttyS0 panic=-1" \
    >/dev/null 2>&1
  grep -q 'Linux version' "$sys/kvm-probe.log" 2>/dev/null && accel=kvm
fi

for pid in "${expected_pids[@]}"; do wait "$pid"; done
tests_copy=$share/tests
cp -r tests/system "$tests_copy"
# While working on some scenarios only: SYSTEM_SCENARIOS='0[2-5]-*' runs just those.
if [ -n "${SYSTEM_SCENARIOS:-}" ]; then
  find "$tests_copy/scenarios" -name '*.sh' ! -name "$SYSTEM_SCENARIOS" -delete
fi
# The product gadget is the test's device, not part of the package: it comes over the share;
# the package too, for the scenario that removes and installs it again.
mkdir -p "$share/bin" && cp "$gadget" "$deb" "$share/bin/"

echo "system: booting the guest ($accel)"
t0=$(date +%s%N)
timeout 900 qemu-system-x86_64 -accel "$accel" -m 1536 -smp 2 -nodefaults -display none \
  -no-reboot -serial "file:$sys/console.log" \
  -kernel "$kernel" -initrd "$initrd" \
  -append "root=/dev/vda rw console=ttyS0 quiet systemd.show_status=false" \
  -drive "file=$image,format=raw,if=virtio,cache=unsafe" \
  -virtfs "local,path=$share,mount_tag=rig,security_model=none,id=rig" \
  >"$sys/qemu.log" 2>&1
qemu_rc=$?
guest_ms=$(ms_since "$t0")
((qemu_rc == 0)) || fail "QEMU ($accel) ended with status $qemu_rc (see $sys/qemu.log, $sys/console.log)"

results=$share/out/results
[ -f "$results" ] || fail "the guest wrote no results (see $sys/console.log)"
grep -v '^figure ' "$results"
while read -r _ name value; do
  case $name in
    boot_ms) echo "system: figure: boot to the scenarios $(seconds "$value")" ;;
    *) echo "system: figure: $name $value" ;;
  esac
done < <(grep '^figure ' "$results")
grep -q '^end$' "$results" || fail "the guest did not finish its scenarios (see $sys/console.log)"
expected_count=$(ls "$tests_copy"/scenarios/*.sh | wc -l)
[ "$(grep -c '^scenario ' "$results")" -eq "$expected_count" ] ||
  fail "not every scenario reported (see $results)"
echo "system: guest run $(seconds "$guest_ms"); the rig in all $(seconds "$(ms_since "$rig_t0")")"
if grep -q 'FAIL' "$results"; then
  fail "$(grep -c '^  FAIL' "$results") checks failed (see $results and $share/out/)"
fi
echo "system: every scenario passed"
