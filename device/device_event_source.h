#pragma once
// Where device changes come from: a udev monitor, the virtual product's schedule, a Windows
// message window. An event loop (poll, Qt, the Windows message loop) watches the descriptor,
// wakes when the next event is due, and hands each event it takes to the tool's device-change
// entry point. Every source reports the same event types (kDeviceArrival, kDeviceRemoveComplete;
// anything else is not a device change).

#include <chrono>
#include <cstdint>
#include <vector>

namespace torvex {

class DeviceEventSource {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~DeviceEventSource() = default;

    // Readable when events wait (a udev monitor's socket); -1 for a source without one.
    virtual int Descriptor() const { return -1; }

    // Takes the events that are due at `now`, in order, without blocking.
    virtual std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) = 0;

    // When TakeDueEvents will next have something without the descriptor becoming readable;
    // Clock::time_point::max() for never.
    virtual Clock::time_point NextDue() const { return Clock::time_point::max(); }
};

}  // namespace torvex
