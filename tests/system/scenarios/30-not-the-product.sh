# Disks that are not the product are never opened: a CD-ROM LUN beside the product's disk, a USB
# stick (the kernel's own mass-storage gadget function on the second port) and the guest's system
# disk. Their nodes are watched for IN_OPEN while the runner lists the disks and updates the
# product, and the product's wire holds only the requests of its own update.
source /rig/tests/lib.sh
expected=/rig/expected
stick=/sys/kernel/config/usb_gadget/stick

stick_start() {
  truncate -s 8M "$work/stick.img" && mkfs.vfat -n STICK "$work/stick.img" >/dev/null || return 1
  mkdir -p "$stick" && cd "$stick" || return 1
  echo 0x0525 >idVendor && echo 0xa4a5 >idProduct
  mkdir -p strings/0x409 configs/c.1 functions/mass_storage.0
  echo STICK0001 >strings/0x409/serialnumber
  echo "$work/stick.img" >functions/mass_storage.0/lun.0/file
  ln -s functions/mass_storage.0 configs/c.1/
  echo dummy_udc.1 >UDC
  cd - >/dev/null
}
stick_stop() {
  echo "" >"$stick/UDC"
  rm -f "$stick/configs/c.1/mass_storage.0"
  rmdir "$stick/configs/c.1" "$stick/functions/mass_storage.0" "$stick/strings/0x409" "$stick"
}

scenario_begin not-the-product
check "the stick is attached" stick_start
check "the stick's disk appears" wait_for 20 disk_on 1
stick_disk=$waited
gadget_start 0 application-old --cdrom
check "the product's disk appears" wait_for 20 disk_on 0
cdrom=$(ls -d /sys/block/sr* 2>/dev/null | head -1)
check "the product's CD-ROM LUN appears" test -n "$cdrom"
watched=(/dev/vda* "$stick_disk"* ${cdrom:+/dev/$(basename "$cdrom")})
# The SCSI generic nodes of the stick and the CD-ROM LUN too.
for dev in "$stick_disk" ${cdrom:+/dev/$(basename "$cdrom")}; do
  for g in /sys/block/"$(basename "$dev")"/device/scsi_generic/*; do
    [ -e "$g" ] && watched+=("/dev/$(basename "$g")")
  done
done
echo "watched: ${watched[*]}" >>"$work/check.log"
inotifywait -m -e open --format '%w' "${watched[@]}" >"$work/opens" 2>"$work/inotify.err" &
watcher=$!
check "the nodes are watched" wait_for 10 grep -q 'Watches established' "$work/inotify.err"
torvex-isp-cli --list --trace "$work/list.trace" >"$work/list.out" 2>&1
list_rc=$?
torvex-isp-cli --allow-sample-firmware --tick-ms "$(cat "$expected/tick-ms")" \
  --trace "$work/update.trace" >"$work/update.out" 2>"$work/update.err"
update_rc=$?
kill "$watcher"
wait "$watcher" 2>/dev/null
gadget_stop 0
stick_stop
check "--list ends 0" test "$list_rc" -eq 0
check "--list names the stick as not the product" grep -q $'\t0525:A4A5\t.*not the product' "$work/list.out"
# The runner names every USB disk it walks past (the stick's VID, PID and serial lines), so its
# log is not the one of the product alone; its ending and the product's wire are.
check "the update completes" grep -q 'Update complete' "$work/update.out"
check "with nothing on stderr" test ! -s "$work/update.err"
check "and exits 0" test "$update_rc" -eq 0
check "no watched node was opened" test ! -s "$work/opens"
# --list reads the product's identities; then the update's requests, as with the product alone.
cat "$work/list.trace" "$work/update.trace" >"$work/runs.trace"
check "the update's requests are those with the product alone" \
  same_requests "$expected/application-old.trace" "$work/update.trace"
check "the product's wire holds only the listing's and the update's requests" \
  same_requests "$work/runs.trace" "$work/gadget-0.trace"
[ "$scenario_failures" -eq 0 ] || keep "$work/opens" "$work"/list.* "$work"/update.* "$work"/gadget-0.*
scenario_end
