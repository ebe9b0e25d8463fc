#pragma once
// What the helper does with a descriptor a client handed over: check how it is open and on what,
// ask which block device it is open on, and send one command on it. The kernel's answers (fcntl,
// statx, SG_IO) in the service; tests put an access in its place that reaches their fake nodes (a
// faked device is only faked in the process that opened it).

#include <sys/types.h>

#include <optional>
#include <string>

#include "device/device_platform.h"

namespace torvex::helper {

class DescriptorAccess {
  public:
    virtual ~DescriptorAccess() = default;

    // Why the helper takes nothing further from `fd`; empty when it is open for reading on a
    // block device. Asks nothing that could wait on whoever serves the file (a FUSE daemon): the
    // open mode from the descriptor itself, the file's type from cached attributes.
    virtual std::string Refusal(int fd) = 0;
    // The device number of the block device `fd` is open on; empty for anything else.
    virtual std::optional<dev_t> BlockDevice(int fd) = 0;
    virtual PassThroughResult Send(int fd, const PassThroughRequest& request) = 0;
};

// The open mode's part of Refusal: not an O_PATH descriptor, and open for reading.
std::string OpenModeRefusal(int fd);

class KernelDescriptorAccess final : public DescriptorAccess {
  public:
    std::string Refusal(int fd) override;
    std::optional<dev_t> BlockDevice(int fd) override;
    PassThroughResult Send(int fd, const PassThroughRequest& request) override;
};

// Closes a descriptor the service must not close on its loop: closing a file of a FUSE file
// system waits for its daemon's answer to a flush, which a hostile user may never give. The
// descriptor's number is pointed at /dev/null by a thread of its own, which then waits for the
// flush in the loop's place. True when closing `fd` can no longer wait; false when it could not
// be made so in time, and then the caller must never close `fd` (nor let go of what owns it). A
// block device's descriptor never needs it (a block device has no flush).
bool DivertDescriptor(int fd);

}  // namespace torvex::helper
