#pragma once
// The virtual product as a device-event source: its clock follows the event loop's (from the
// moment the source is made), and its arrivals and removals are due when its schedule says, as a
// udev monitor would report them for a real product.

#include "device/device_event_source.h"
#include "simulator/virtual_platform.h"

namespace torvex::sim {

class VirtualProductEvents final : public DeviceEventSource {
  public:
    explicit VirtualProductEvents(VirtualPlatform& platform)
        : platform_(platform), start_(Clock::now()) {}

    // Moves the product's clock on to `now` (never back), then takes the events that fell due.
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) override;
    Clock::time_point NextDue() const override;

  private:
    VirtualPlatform& platform_;
    Clock::time_point start_;
};

}  // namespace torvex::sim
