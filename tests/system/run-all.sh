#!/usr/bin/env bash
# The guest's one job: the scenarios in order, each one's checks and time in the results file on
# the host's share, then power off. Started by torvex-rig.service once the system is up.
set -u
source /rig/tests/lib.sh
: >"$results"
figure boot_ms "$(($(cut -d' ' -f1 /proc/uptime | tr -d .) * 10))"

modprobe dummy_hcd num=3 && modprobe libcomposite && modprobe usb_f_fs && modprobe usb_f_mass_storage
for f in /rig/tests/scenarios/*.sh; do
  bash "$f"
done
echo "end" >>"$results"
sync
systemctl poweroff --force
