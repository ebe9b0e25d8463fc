#pragma once
// Lists every present block disk, in a stable order (by sysfs path), stopping at the first disk
// that cannot be read, as the port's listing contract asks.

#include <libudev.h>

#include <optional>
#include <string>
#include <vector>

#include "device/linux/disk_reader.h"
#include "device/linux/mount_table.h"

namespace torvex::linux_backend {

struct DiskInventory {
    std::vector<EnumeratedDisk> disks;  // read before any failure
    ListingFailure failure = ListingFailure::None;
};

// A null context, or an enumeration that cannot be created or scanned, is InterfaceSet.
// Disks are not filtered on udev's "initialized" state: sysfs is read directly.
DiskInventory EnumerateDisks(udev* context);

// Reads the disks a scan found, in order. A disk that is gone by the time it is read is left out
// and the listing goes on; one still present that cannot be read ends it.
DiskInventory ReadDisks(udev* context, const std::vector<std::string>& syspaths);

// Reads the disk now known to the kernel under sysname; empty when there is none or it cannot
// be read completely.
std::optional<EnumeratedDisk> ReadDiskNow(udev* context, const std::string& sysname);

// The disk's own node and those of its partitions, as the kernel lists them now.
std::vector<BlockNode> DiskAndPartitions(udev* context, const EnumeratedDisk& disk);

}  // namespace torvex::linux_backend
