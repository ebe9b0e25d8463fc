#pragma once
// A product whose file systems are mounted gets no command: the kernel refuses the exclusive open
// while they are, and the platform remembers which mounts made it refuse. The window and the
// runner name those mounts and offer to unmount them through the desktop's disk service, once for
// each set of mounts, so that an offer turned down is not made again at every tick while the
// product stays mounted.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/linux/disk_service.h"
#include "device/linux/mount_table.h"

namespace torvex::desktop {

using linux_backend::MountedDisk;

struct UnmountFailure {
    std::string devnode;
    std::string reason;
};

// What an accepted offer did, device node by device node.
struct UnmountReport {
    std::vector<std::string> unmounted;
    std::vector<UnmountFailure> failed;

    bool Freed() const { return failed.empty(); }
};

class UnmountOffer {
  public:
    // Decides whether to unmount the mounts that hold the product (the window asks the operator,
    // the runner answers from its options).
    using Ask = std::function<bool(const MountedDisk& blocked)>;

    explicit UnmountOffer(DiskService& disks) : disks_(disks) {}

    // Called after each event the tool handled, with the mounts that made the last open fail
    // (none: the last open failed otherwise or succeeded). A set of mounts not offered yet goes
    // to `ask`; its yes unmounts each mounted device node once, in the table's order. Returns
    // what was done when an offer was accepted, nothing otherwise.
    std::optional<UnmountReport> Consider(const MountedDisk& blocked, const Ask& ask);

  private:
    DiskService& disks_;
    MountedDisk offered_;
};

// "/dev/sdb1 on /media/op/STICK, /dev/sdb2 on /mnt"
std::string MountList(const MountedDisk& blocked);

// The window's question, and what it says when some of the mounts stayed.
std::string UnmountQuestion(const MountedDisk& blocked);
std::string UnmountFailureText(const UnmountReport& report);

// The runner's part, after each event: with --unmount (`unmount`) it accepts each new offer and
// says what was unmounted or why not; without, it says once which mounts hold the product and how
// to free them, and goes on waiting.
struct RunnerMountStep {
    std::vector<std::string> lines;  // for stderr
    bool freed = false;              // something was unmounted: look for the product again now
};
RunnerMountStep ConsiderForRunner(UnmountOffer& offer, const MountedDisk& blocked, bool unmount);

}  // namespace torvex::desktop
