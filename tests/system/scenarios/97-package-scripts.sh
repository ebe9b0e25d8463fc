# The package's maintainer scripts with the product plugged in: removing the package takes the
# udev rule's access away from the disk at once, and installing it again gives the active user the
# disk without a replug (the scripts reload udev's rules and trigger the product's disks).
source /rig/tests/lib.sh
deb=$(ls /rig/bin/torvex-isp_*.deb)

scenario_begin package-scripts
gadget_start 0 application-old
check "the product's disk appears" wait_for 20 disk_on 0
disk=$waited
has_uaccess() { udevadm info -q property "$disk" | grep -q '^CURRENT_TAGS=.*:uaccess:'; }
desk_acl() { getfacl -p "$disk" 2>/dev/null | grep -q '^user:desk:'; }
check "the installed rule gives the active user the disk" desk_acl
check "the package is removed" dpkg -r torvex-isp
# The scripts trigger the disk and leave: udev handles the change a moment later.
no_uaccess() { ! has_uaccess; }
no_desk_acl() { ! desk_acl; }
check "the rule no longer applies to the disk" wait_for 10 no_uaccess
check "and the active user has lost the disk" wait_for 10 no_desk_acl
setfacl -b "$disk"
check "the package is installed again" dpkg -i "$deb"
check "the rule applies to the disk that was plugged in before" wait_for 10 has_uaccess
check "and the active user has the disk again" wait_for 10 desk_acl
gadget_stop 0
[ "$scenario_failures" -eq 0 ] || keep "$work/gadget-0.log"
scenario_end
