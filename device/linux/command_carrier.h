#pragma once
// How vendor commands reach a disk the platform has opened, locked and proven: SG_IO on the
// descriptor, for a process that holds CAP_SYS_RAWIO (the runner as root), or torvex-isp-helper,
// which holds that one right for a process without it (the window and the runner as the user).
// The platform lists, opens, locks and proves the disk the same way whichever carries.

#include <memory>
#include <string>

#include "device/device_platform.h"
#include "device/linux/raw_scsi_access.h"

namespace torvex::linux_backend {

struct AttachOutcome {
    std::string refusal;          // empty: commands may now be sent to the disk
    bool access_missing = false;  // refused because nothing can carry commands for this process
};

class CommandCarrier {
  public:
    virtual ~CommandCarrier() = default;

    // Whether commands can reach a disk at all: the process holds the right, or the helper can
    // be reached. Asked until the operator has been told once that neither is the case.
    virtual bool Usable() = 0;
    // Takes a disk the platform has just opened into use. On a refusal the platform closes it.
    virtual AttachOutcome Attach(int fd) = 0;
    // The platform is about to close the disk.
    virtual void Detach(int fd) = 0;
    virtual PassThroughResult Send(int fd, const PassThroughRequest& request) = 0;
    // Whether the carrier takes the product's lock (see product_lock.h) itself when a disk is
    // attached: the helper does for a process that may not write the lock directory.
    virtual bool LocksProducts() const { return false; }
};

// SG_IO on the descriptor itself.
class SgIoCarrier final : public CommandCarrier {
  public:
    explicit SgIoCarrier(RawAccessProbe has_raw_access = &ProcessHasRawScsiAccess)
        : has_raw_access_(has_raw_access) {}

    bool Usable() override { return has_raw_access_ != nullptr && has_raw_access_(); }
    AttachOutcome Attach(int) override { return {}; }
    void Detach(int) override {}
    PassThroughResult Send(int fd, const PassThroughRequest& request) override;

  private:
    RawAccessProbe has_raw_access_;
};

// SG_IO when the process holds CAP_SYS_RAWIO (run as root), else the helper.
std::shared_ptr<CommandCarrier> ChooseCommandCarrier(
    RawAccessProbe has_raw_access = &ProcessHasRawScsiAccess);

}  // namespace torvex::linux_backend
