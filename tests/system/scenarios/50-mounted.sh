# The product's disk mounted as a desktop mounts it (udisks2): the runner names the mount and
# sends nothing; with --unmount it frees the disk through udisks2 and the update completes.
source /rig/tests/lib.sh

scenario_begin mounted-disk
gadget_start 0 application-old
check "the product's disk appears" wait_for 20 disk_on 0
disk=$waited
# The file system sits on the disk itself or on its first partition.
fs=$(lsblk -nrpo NAME,FSTYPE "$disk" | awk '$2 == "vfat" { print $1; exit }')
check "the product shows a FAT file system" test -n "$fs"
udisksctl mount -b "$fs" >"$work/mount.out" 2>&1
mount_point=$(findmnt -nro TARGET "$fs")
check "udisks2 mounted it" test -n "$mount_point"
torvex-isp-cli --allow-sample-firmware --timeout-s 5 >"$work/mounted.out" 2>"$work/mounted.err"
check "without --unmount the runner gives up at its time-out (exit 3)" test $? -eq 3
check "and names the mount" grep -qF "$mount_point" "$work/mounted.out" "$work/mounted.err"
check "and nothing was sent" test ! -s "$work/gadget-0.trace"
check "the disk is still mounted" findmnt -n "$fs"
torvex-isp-cli --allow-sample-firmware --unmount >"$work/unmount.out" 2>"$work/unmount.err"
check "with --unmount the update succeeds" test $? -eq 0
check "and completes" grep -q 'Update complete' "$work/unmount.out"
check "the file system was unmounted" test -z "$(findmnt -nro TARGET "$fs")"
gadget_stop 0
[ "$scenario_failures" -eq 0 ] || keep "$work"/mount*.out "$work"/mounted.* "$work"/unmount.* "$work/gadget-0.log"
scenario_end
