#include "device/linux/device_monitor.h"

#include <string_view>

#include "device/device_platform.h"

namespace torvex::linux_backend {
namespace {

UdevMonitorPtr ListenToDisks(udev* context) {
    if (context == nullptr) return nullptr;
    UdevMonitorPtr monitor(udev_monitor_new_from_netlink(context, "udev"));
    if (!monitor) return nullptr;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "block", "disk") < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
        return nullptr;
    }
    return monitor;
}

}  // namespace

DeviceMonitor::DeviceMonitor() : udev_(udev_new()), monitor_(ListenToDisks(udev_.get())) {}

int DeviceMonitor::Descriptor() const {
    return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1;
}

std::vector<std::uint32_t> DeviceMonitor::TakeDueEvents(Clock::time_point) {
    std::vector<std::uint32_t> events;
    if (!monitor_) return events;
    // The monitor's socket is non-blocking: receive returns null once the queue is empty.
    while (UdevDevicePtr device{udev_monitor_receive_device(monitor_.get())}) {
        const char* action = udev_device_get_action(device.get());
        if (action == nullptr) continue;
        const std::string_view name(action);
        if (name == "add") events.push_back(kDeviceArrival);
        if (name == "remove") events.push_back(kDeviceRemoveComplete);
    }
    return events;
}

}  // namespace torvex::linux_backend
