#pragma once
// Device change on Linux: a udev monitor on block disks. The window and the headless runner watch
// its fd in their event loop (QSocketNotifier, poll) and, when it is readable, hand each event
// type ReadEvents returns to the tool's device-change entry point.

#include <cstdint>
#include <vector>

#include "device/linux/udev_handles.h"

namespace torvex::linux_backend {

class DeviceMonitor {
  public:
    // Listens to the events udev has finished processing ("udev" source), for block disks only.
    DeviceMonitor();

    // False when the monitor could not be set up; Fd() is then -1 and no event ever comes.
    bool IsListening() const { return monitor_ != nullptr; }

    // Readable when events are waiting. Non-blocking.
    int Fd() const;

    // Takes every pending event without blocking: "add" gives kDeviceArrival, "remove" gives
    // kDeviceRemoveComplete; other actions ("change", "bind", ...) are not device changes.
    std::vector<std::uint32_t> ReadEvents();

  private:
    UdevPtr udev_;
    UdevMonitorPtr monitor_;
};

}  // namespace torvex::linux_backend
