#pragma once
// Device changes of the real devices on Linux: the udev monitor's fd, watched by the runner's
// poll() loop.

#include "cli/event_loop.h"
#include "device/linux/device_monitor.h"

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

}  // namespace torvex::cli
