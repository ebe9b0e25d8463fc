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

// The SCSI CD-ROM driver's disks (sr0, sr1, ...): a CD-ROM LUN, even the product's own beside its
// disk, is never a disk the tool opens, so its coming and going is no device change. Otherwise
// the LUN's arrival a moment after the product's own disk would count as a second arrival of the
// product, in the middle of the update resuming after the product came back.
bool IsCdRom(udev_device* device) {
    const char* sysname = device != nullptr ? udev_device_get_sysname(device) : nullptr;
    return sysname != nullptr && std::string_view(sysname).starts_with("sr");
}

}  // namespace

DeviceMonitor::DeviceMonitor(Watch watch)
    : udev_(udev_new()), monitor_(watch == Watch::Udev ? ListenToDisks(udev_.get()) : nullptr) {
    if (monitor_) return;
    // The disks present now are start-up's business, not arrivals.
    present_ = PresentDisks();
    next_poll_ = Clock::now() + kPollingPeriod;
}

int DeviceMonitor::Descriptor() const {
    return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1;
}

DeviceEventSource::Clock::time_point DeviceMonitor::NextDue() const {
    return monitor_ ? Clock::time_point::max() : next_poll_;
}

std::vector<std::uint32_t> DeviceMonitor::TakeDueEvents(Clock::time_point now) {
    return monitor_ ? ReadMonitor() : Poll(now);
}

void DeviceMonitor::KeepOnlyPort(const std::string& port_path) {
    port_segment_ = "/" + port_path + "/";
    if (!monitor_) present_ = PresentDisks();  // the other ports' disks never came or went
}

bool DeviceMonitor::Kept(const char* devpath) const {
    return port_segment_.empty() ||
           (devpath != nullptr &&
            std::string_view(devpath).find(port_segment_) != std::string_view::npos);
}

std::vector<std::uint32_t> DeviceMonitor::ReadMonitor() {
    std::vector<std::uint32_t> events;
    // The monitor's socket is non-blocking: receive returns null once the queue is empty.
    while (UdevDevicePtr device{udev_monitor_receive_device(monitor_.get())}) {
        const char* action = udev_device_get_action(device.get());
        if (action == nullptr || IsCdRom(device.get()) ||
            !Kept(udev_device_get_devpath(device.get())))
            continue;
        const std::string_view name(action);
        if (name == "add") events.push_back(kDeviceArrival);
        if (name == "remove") events.push_back(kDeviceRemoveComplete);
    }
    return events;
}

std::vector<std::uint32_t> DeviceMonitor::Poll(Clock::time_point now) {
    std::vector<std::uint32_t> events;
    if (now < next_poll_) return events;
    next_poll_ = now + kPollingPeriod;
    const std::set<std::string> present = PresentDisks();
    for (const std::string& disk : present_)
        if (present.count(disk) == 0) events.push_back(kDeviceRemoveComplete);
    for (const std::string& disk : present)
        if (present_.count(disk) == 0) events.push_back(kDeviceArrival);
    present_ = present;
    return events;
}

// Each block disk by its sysfs path and device number: a disk that left and another that came
// under the same name count as one removal and one arrival.
std::set<std::string> DeviceMonitor::PresentDisks() const {
    std::set<std::string> disks;
    if (!udev_) return disks;
    UdevEnumeratePtr enumerate(udev_enumerate_new(udev_.get()));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "block") < 0 ||
        udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE", "disk") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0)
        return disks;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        const char* path = udev_list_entry_get_name(entry);
        if (path == nullptr || !Kept(path)) continue;
        UdevDevicePtr device(udev_device_new_from_syspath(udev_.get(), path));
        if (IsCdRom(device.get())) continue;
        const dev_t number = device ? udev_device_get_devnum(device.get()) : 0;
        disks.insert(std::string(path) + " " + std::to_string(number));
    }
    return disks;
}

}  // namespace torvex::linux_backend
