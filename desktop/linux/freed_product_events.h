#pragma once
// Device changes, and an arrival of our own once the product's file systems were unmounted: the
// disk neither comes nor goes then, so no udev event says it is free, and without one the tool
// would look for it only at its next poll. Passes on every event of the source it wraps.

#include <cstdint>
#include <vector>

#include "device/device_event_source.h"
#include "device/device_platform.h"

namespace torvex::desktop {

class FreedProductEvents final : public DeviceEventSource {
  public:
    explicit FreedProductEvents(DeviceEventSource& source) : source_(source) {}

    // The product's file systems were unmounted: an arrival is due now.
    void AnnounceFreed() { freed_ = true; }

    int Descriptor() const override { return source_.Descriptor(); }
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) override {
        std::vector<std::uint32_t> events = source_.TakeDueEvents(now);
        if (freed_) events.push_back(kDeviceArrival);
        freed_ = false;
        return events;
    }
    Clock::time_point NextDue() const override {
        return freed_ ? Clock::time_point::min() : source_.NextDue();
    }

  private:
    DeviceEventSource& source_;
    bool freed_ = false;
};

}  // namespace torvex::desktop
