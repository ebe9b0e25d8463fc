#pragma once
// The exclusive open of a listed disk. A device node name outlives the disk it named: after the
// product leaves, the same path (and even the same device number) may belong to another disk.
// So the open proves, before any command can be sent, that the node is still the disk that was
// listed: stat of the path is a block device with the listed device number, the fd that was
// opened is that very node (same st_dev/st_ino), and the kernel still reports the disk under its
// name with the same number and the same USB identity.
//
// The disk is opened read-only and exclusively (O_RDONLY | O_EXCL), and held with flock(LOCK_EX)
// while it is open:
// - exclusive like the original's share mode 0: no file system of the disk may be mounted and no
//   other program may hold it exclusively;
// - read-only, so that closing it does not make udev's watch probe the disk again after every
//   command run (it re-probes on a close after writing);
// - locked, because udev leaves a disk alone while someone holds its lock;
// - read-only is enough for the vendor commands: the kernel's command filter for SG_IO on a block
//   device (scsi_cmd_allowed, blk_verify_command in older kernels) lets a caller with
//   CAP_SYS_RAWIO send any opcode whatever the open mode; without the capability vendor opcodes
//   are refused even on a writable descriptor.

#include <fcntl.h>
#include <libudev.h>

#include <optional>

#include "device/linux/disk_reader.h"

namespace torvex::linux_backend {

// open(2) as the back end calls it; tests put their own in its place.
using OpenNodeCall = int (*)(const char* path, int flags);

inline constexpr int kDiskOpenFlags = O_RDONLY | O_EXCL | O_NONBLOCK | O_CLOEXEC;

struct OpenOutcome {
    int fd = -1;                   // open, locked and proven; -1 otherwise
    int error_number = 0;          // errno of a failed stat, open or lock; 0 when the proof failed
    bool locked_by_other = false;  // the open succeeded but another program holds the disk's lock
    std::optional<EnumeratedDisk> proven;  // the disk as the kernel reported it at the open
};

OpenOutcome OpenEnumeratedDisk(udev* context, const EnumeratedDisk& disk, OpenNodeCall open_node);

}  // namespace torvex::linux_backend
