#pragma once
// The two places device changes come from for the runner: the udev monitor of the real devices,
// and the virtual product's own schedule (its clock follows the runner's).

#include <memory>

#include "cli/event_loop.h"
#include "device/linux/device_monitor.h"
#include "simulator/virtual_platform.h"

namespace torvex::cli {

class UdevEvents final : public DeviceEventSource {
  public:
    int Fd() const override { return monitor_.Fd(); }
    std::vector<std::uint32_t> TakeEvents(Clock::time_point) override {
        return monitor_.ReadEvents();
    }

  private:
    linux_backend::DeviceMonitor monitor_;
};

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
