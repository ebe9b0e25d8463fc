#pragma once
// Proves that a descriptor a client handed over is open on the product: a whole SCSI
// direct-access disk of the sd driver, behind a mass-storage interface bound to usb-storage or
// uas, whose USB device has one of the product's three identities (mask ROM 0A81:0320, protected
// ISP 0A81:0321, application and OTA 2175:5001). The kernel is asked through sysfs (libudev) from
// the descriptor's device number alone; no path the client names is ever used.

#include <libudev.h>
#include <sys/types.h>

#include <optional>
#include <string>

#include "helper/descriptor_access.h"

namespace torvex::helper {

struct ProvenDisk {
    dev_t device_number = 0;
    std::string sysname;           // "sdb"
    std::string parent_device_id;  // "USB\VID_0A81&PID_0321\serial"
    std::string port_path;         // the USB port ("2-1.4"), which names the product's lock
};

struct DiskProof {
    std::optional<ProvenDisk> disk;
    std::string refusal;  // why the descriptor is not the product; empty when proven
};

DiskProof ProveProductDisk(udev* context, DescriptorAccess& access, int fd);

// Proves again, before a command, that the descriptor is open on the same disk with the same USB
// identity. Empty when it is; otherwise why not (the product left, or its node is another disk).
std::string ReproveDisk(udev* context, DescriptorAccess& access, int fd, const ProvenDisk& proven);

}  // namespace torvex::helper
