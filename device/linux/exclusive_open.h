#pragma once
// The exclusive open of a listed disk. A device node name outlives the disk it named: after the
// product leaves, the same path (and even the same device number) may belong to another disk.
// So the open proves, before any command can be sent, that the node is still the disk that was
// listed: stat of the path is a block device with the listed device number, the fd that was
// opened is that very node (same st_dev/st_ino), and the kernel still reports the disk under its
// name with the same number and the same USB identity.

#include <libudev.h>

#include "device/linux/disk_reader.h"

namespace torvex::linux_backend {

struct OpenOutcome {
    int fd = -1;           // open and proven; -1 otherwise
    int error_number = 0;  // errno of a failed stat or open; 0 when the proof failed
};

OpenOutcome OpenEnumeratedDisk(udev* context, const EnumeratedDisk& disk);

}  // namespace torvex::linux_backend
