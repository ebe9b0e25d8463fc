#pragma once
// The helper's descriptor access for a process under umockdev. A faked /dev node is only faked in
// the process that opened it: a descriptor handed over the bus is, in the helper, a plain file of
// the testbed. This access finds the node the descriptor's file stands for (its path under
// $UMOCKDEV_DIR) and asks the testbed for it: stat for the block device number, and a fresh open
// for each SG_IO, which reaches the test's ioctl handler. Any other descriptor is asked of the
// kernel, as in the service.

#include <optional>
#include <string>

#include "helper/descriptor_access.h"

namespace torvex::testing {

class UmockdevDescriptorAccess final : public helper::DescriptorAccess {
  public:
    std::string Refusal(int fd) override;
    std::optional<dev_t> BlockDevice(int fd) override;
    PassThroughResult Send(int fd, const PassThroughRequest& request) override;

    // "/dev/umock-sdb" for a descriptor open on that testbed node; empty for anything else.
    static std::optional<std::string> FakeNodeOf(int fd);

  private:
    helper::KernelDescriptorAccess kernel_;
};

}  // namespace torvex::testing
