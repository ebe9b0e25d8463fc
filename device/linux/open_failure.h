#pragma once
// The reason a listed disk could not be opened, in the system's words and with what a person can
// do about it: a mounted file system names its mount and the command that frees it, a refused
// right names the right, a lock names its holder.

#include <string>
#include <vector>

#include "device/linux/exclusive_open.h"
#include "device/linux/mount_table.h"

namespace torvex::linux_backend {

// `mounts`: the mounts of the disk and its partitions (looked up only for EBUSY).
std::string DescribeOpenFailure(const EnumeratedDisk& disk, const OpenOutcome& outcome,
                                const std::vector<Mount>& mounts);

// A path that the last listing did not give as a USB mass-storage disk.
std::string DescribeUnlistedPath(const std::string& path);

}  // namespace torvex::linux_backend
