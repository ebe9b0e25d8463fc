#pragma once
// Owning handles for the libudev objects the back end uses, so that every early return releases
// what it took.

#include <libudev.h>

#include <memory>

namespace torvex::linux_backend {

struct UdevRelease {
    void operator()(udev* object) const { udev_unref(object); }
    void operator()(udev_enumerate* object) const { udev_enumerate_unref(object); }
    void operator()(udev_device* object) const { udev_device_unref(object); }
    void operator()(udev_monitor* object) const { udev_monitor_unref(object); }
};

using UdevPtr = std::unique_ptr<udev, UdevRelease>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevRelease>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevRelease>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevRelease>;

}  // namespace torvex::linux_backend
