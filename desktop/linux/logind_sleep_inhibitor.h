#pragma once
// The sleep inhibitor of logind (org.freedesktop.login1.Manager.Inhibit) on the system bus, taken
// as the user the tool runs as: it blocks sleep, idle actions, shutdown and reboot, and the lid
// switch's action while its descriptor is open.

#include "desktop/linux/sleep_inhibitor.h"

namespace torvex::desktop {

inline constexpr const char* kInhibitedWhat = "sleep:idle:shutdown:handle-lid-switch";

class LogindSleepInhibitor final : public SleepInhibitor {
  public:
    // `bus_address`: empty for the system bus (tests give a bus of their own).
    explicit LogindSleepInhibitor(std::string bus_address = {})
        : address_(std::move(bus_address)) {}

    Inhibition Inhibit(const std::string& why) override;

  private:
    std::string address_;
};

}  // namespace torvex::desktop
