#!/bin/sh
# Checks the structure of the product's udev rule without udev: every rule that grants access or
# hides a disk names the product by its own mass-storage interface (class 08 and the interface's
# modalias, which carries the vendor and product of the interface's own USB device), never by
# ATTRS{idVendor}/ATTRS{idProduct}, which would match any USB device above the disk (a hub).
#   check-udev-rule.sh RULES-FILE
rules=$1
failed=0
say() { echo "$rules: $*"; failed=1; }

rule_lines=$(grep -v '^[[:space:]]*#' "$rules" | grep -v '^[[:space:]]*$')
echo "$rule_lines" | while IFS= read -r line; do
    case "$line" in *'ATTRS{idVendor}'* | *'ATTRS{idProduct}'*)
        echo "ancestor match: $line"; exit 1 ;;
    esac
    case "$line" in *'ATTRS{modalias}'*) ;; *) echo "no interface match: $line"; exit 1 ;; esac
    case "$line" in *'SUBSYSTEMS=="usb"'*) ;; *) echo "no SUBSYSTEMS==\"usb\": $line"; exit 1 ;; esac
    case "$line" in *'ATTRS{bInterfaceClass}=="08"'*) ;; *) echo "no class 08: $line"; exit 1 ;; esac
done || say "a rule matches more than the product's own interface"
for identity in v0A81p0320 v0A81p0321 v2175p5001; do
    echo "$rule_lines" | grep -F "ATTRS{modalias}==\"usb:${identity}d*\"" | grep -q 'TAG+="uaccess"' ||
        say "no access rule for usb:${identity}"
done
exit $failed
