#pragma once
// Device changes of the virtual product for the runner: its clock follows the runner's, and its
// arrivals and removals come when its schedule says.

#include "cli/event_loop.h"
#include "simulator/virtual_platform.h"

namespace torvex::cli {

class VirtualProductEvents final : public DeviceEventSource {
  public:
    explicit VirtualProductEvents(sim::VirtualPlatform& platform)
        : platform_(platform), start_(Clock::now()) {}

    std::vector<std::uint32_t> TakeEvents(Clock::time_point now) override;
    Clock::time_point NextDue() const override;

  private:
    sim::VirtualPlatform& platform_;
    Clock::time_point start_;
};

}  // namespace torvex::cli
