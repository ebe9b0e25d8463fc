#pragma once
// Reads one block disk as the port lists it, from sysfs attributes of the disk and of its USB
// ancestors only. udev's database (the ID_* properties) is never consulted: it may be stale or
// absent, and the identity must be what the kernel reports now.

#include <libudev.h>
#include <sys/types.h>

#include <optional>
#include <string>

#include "device/device_platform.h"

namespace torvex::linux_backend {

// A listed disk and what the open needs to prove it is still the same disk.
struct EnumeratedDisk {
    DiskInterface interface;
    std::string devnode;      // the path that is opened
    std::string sysname;      // the kernel's name, to read the disk again at open
    dev_t device_number = 0;  // what stat of devnode must report
    std::string port_path;    // the USB port as the kernel names it ("2-1.4"); the product keeps it
                              // through its re-enumerations while its identity changes
    std::string syspath;      // the disk's sysfs path, to find its partitions
    bool usb_mass_storage = false;
};

struct DiskReading {
    ListingFailure failure = ListingFailure::None;
    // Empty without a failure: a disk without a device node or number, which nothing can open.
    std::optional<EnumeratedDisk> disk;
};

// Failures, in the port's terms:
//   CompatibleIds   the USB interface's class cannot be read (what kind of disk it is is unknown)
//   ParentInstance  a USB mass-storage interface without a USB device above it
//   ParentDeviceId  the USB device's idVendor or idProduct cannot be read
// A USB device whose idVendor or idProduct is not four hex digits has no usable identity: its
// disk is listed as an ordinary disk, so discovery passes it by and never opens it. So is every
// block disk that is not a SCSI direct-access disk of the sd driver: a CD-ROM LUN of the same USB
// device (sr, type 5) carries the product's identity but must never receive its commands. A disk
// that udev (when it runs) has not yet set up is empty too: it is listed once udev is done.
DiskReading ReadDisk(udev_device* disk);

}  // namespace torvex::linux_backend
