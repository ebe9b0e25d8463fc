#pragma once
// Commands carried by torvex-isp-helper over the system bus (see isp_helper_interface.h), for a
// process without CAP_SYS_RAWIO. The disk the platform opened is handed to the helper with Claim
// and given back with Release; the helper holds one disk per client, so a command for any other
// descriptor is refused here without a word on the bus. Calls are synchronous, as all device I/O
// of the tool is; the bus is connected on first use ($DBUS_SYSTEM_BUS_ADDRESS, else the system
// bus) and again after the connection broke.

#include <cstdint>
#include <string>

#include "device/linux/command_carrier.h"
#include "device/linux/sd_bus_handles.h"

namespace torvex::linux_backend {

class HelperCarrier final : public CommandCarrier {
  public:
    HelperCarrier() = default;

    // The helper's name is on the bus, or the bus can start it.
    bool Usable() override;
    AttachOutcome Attach(int fd) override;
    void Detach(int fd) override;
    PassThroughResult Send(int fd, const PassThroughRequest& request) override;
    bool LocksProducts() const override { return true; }

  private:
    sd_bus* Bus(std::string& why_not);
    bool HelperKnownToBus(sd_bus* bus);
    void Disconnect() { bus_.reset(); }

    SdBusPtr bus_;
    int claimed_fd_ = -1;  // the disk the helper holds for this process
    bool usable_ = false;  // once reachable, a later failure shows at Attach
};

}  // namespace torvex::linux_backend
