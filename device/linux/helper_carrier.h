#pragma once
// Commands carried by torvex-isp-helper over the system bus (see isp_helper_interface.h), for a
// process without CAP_SYS_RAWIO. The disk the platform opened is handed to the helper with Claim
// and given back with Release; the helper holds one disk per client, so a command for any other
// descriptor is refused here without a word on the bus. Calls are synchronous, as all device I/O
// of the tool is; the bus is connected on first use ($DBUS_SYSTEM_BUS_ADDRESS, else the system
// bus) and again after the connection broke. Commands go to the very helper that accepted the
// claim (its unique name): when that one has gone, they fail and say so, rather than reach a new
// helper that holds nothing. A command whose outcome cannot be known (no answer in time, the
// bus lost mid-call) fails as such, and the transport does not send it again.

#include <chrono>
#include <cstdint>
#include <string>

#include "device/linux/command_carrier.h"
#include "device/linux/isp_helper_interface.h"
#include "device/linux/sd_bus_handles.h"

namespace torvex::linux_backend {

// How long the client waits for the helper. Each is longer than what the helper itself may take,
// so the client hears the helper's own answer.
struct HelperWaits {
    // A claim: polkit's wait for an administrator's password, and the bus starting the helper.
    std::chrono::milliseconds claim{std::chrono::seconds(kHelperAuthorizationSeconds + 60)};
    // A command; zero: its SG_IO time-out, the helper's grace for the kernel, and a margin.
    std::chrono::milliseconds command{0};
    std::chrono::milliseconds release{std::chrono::seconds(10)};
};

class HelperCarrier final : public CommandCarrier {
  public:
    explicit HelperCarrier(HelperWaits waits = {}) : waits_(waits) {}

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
    void Release(sd_bus* bus, const char* destination);

    HelperWaits waits_;
    SdBusPtr bus_;
    int claimed_fd_ = -1;      // the disk the helper holds for this process
    std::string holder_;       // the unique bus name of the helper that holds it
    std::string holder_gone_;  // why that helper no longer carries commands; empty while it does
    bool usable_ = false;      // once reachable, a later failure shows at Attach
};

}  // namespace torvex::linux_backend
