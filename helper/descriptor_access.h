#pragma once
// What the helper does with a descriptor a client handed over: ask which block device it is open
// on, and send one command on it. The kernel's answers (fstat, SG_IO) in the service; tests put an
// access in its place that reaches their fake nodes (a faked device is only faked in the process
// that opened it).

#include <sys/types.h>

#include <optional>

#include "device/device_platform.h"

namespace torvex::helper {

class DescriptorAccess {
  public:
    virtual ~DescriptorAccess() = default;

    // The device number of the block device `fd` is open on; empty for anything else.
    virtual std::optional<dev_t> BlockDevice(int fd) = 0;
    virtual PassThroughResult Send(int fd, const PassThroughRequest& request) = 0;
};

class KernelDescriptorAccess final : public DescriptorAccess {
  public:
    std::optional<dev_t> BlockDevice(int fd) override;
    PassThroughResult Send(int fd, const PassThroughRequest& request) override;
};

}  // namespace torvex::helper
