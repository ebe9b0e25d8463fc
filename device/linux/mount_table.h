#pragma once
// Which of a disk's block devices (the disk and its partitions) are mounted, read from the mount
// table the kernel gives each process (/proc/self/mountinfo). A disk with a mounted file system
// cannot be opened exclusively (EBUSY); the tool names the mounts and the command that frees
// them rather than failing without a word.

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace torvex::linux_backend {

struct BlockNode {
    dev_t number = 0;
    std::string devnode;  // "/dev/sdb1"
};

struct Mount {
    std::string devnode;      // the mounted block device
    std::string mount_point;  // where, with the table's octal escapes (\040 for a blank) undone

    bool operator==(const Mount&) const = default;
};

// A disk that could not be opened exclusively because file systems of it are mounted.
struct MountedDisk {
    std::string devnode;        // the disk: "/dev/sdb"
    std::vector<Mount> mounts;  // of the disk and its partitions, in the table's order

    bool operator==(const MountedDisk&) const = default;
};

// The mounts of `nodes` in a mountinfo text, in the table's order. Malformed lines are skipped.
std::vector<Mount> MountsOf(std::string_view mountinfo, const std::vector<BlockNode>& nodes);

// The command that frees them: "udisksctl unmount -b /dev/sdb1 && udisksctl unmount -b ...".
std::string UnmountCommand(const std::vector<Mount>& mounts);

// Reads a mount table file; empty when it cannot be read.
std::string ReadMountTable(const std::string& path);

}  // namespace torvex::linux_backend
