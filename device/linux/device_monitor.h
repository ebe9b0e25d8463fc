#pragma once
// Device change on Linux: a udev monitor on block disks, as a device-event source. The window and
// the headless runner watch its descriptor in their event loop (QSocketNotifier, poll) and, when
// it is readable, hand each event it gives to the tool's device-change entry point.

#include <cstdint>
#include <vector>

#include "device/device_event_source.h"
#include "device/linux/udev_handles.h"

namespace torvex::linux_backend {

class DeviceMonitor final : public DeviceEventSource {
  public:
    // Listens to the events udev has finished processing ("udev" source), for block disks only.
    DeviceMonitor();

    // False when the monitor could not be set up; Descriptor() is then -1 and no event comes.
    bool IsListening() const { return monitor_ != nullptr; }

    // Readable when events are waiting. Non-blocking.
    int Descriptor() const override;

    // Takes every pending event without blocking: "add" gives kDeviceArrival, "remove" gives
    // kDeviceRemoveComplete; other actions ("change", "bind", ...) are not device changes. The
    // monitor has no schedule of its own: its events are due as soon as they arrive.
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) override;

  private:
    UdevPtr udev_;
    UdevMonitorPtr monitor_;
};

}  // namespace torvex::linux_backend
