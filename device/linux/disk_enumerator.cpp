#include "device/linux/disk_enumerator.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "device/linux/udev_handles.h"

namespace torvex::linux_backend {
namespace {

// The sysfs paths of all present disks, sorted.
std::optional<std::vector<std::string>> ScanDiskPaths(udev* context) {
    UdevEnumeratePtr enumerate(udev_enumerate_new(context));
    if (!enumerate) return std::nullopt;
    if (udev_enumerate_add_match_subsystem(enumerate.get(), "block") < 0 ||
        udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE", "disk") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        if (const char* path = udev_list_entry_get_name(entry)) paths.emplace_back(path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool Vanished(const std::string& syspath) {
    return access(syspath.c_str(), F_OK) != 0 && errno == ENOENT;
}

}  // namespace

DiskInventory EnumerateDisks(udev* context) {
    const auto paths = context != nullptr ? ScanDiskPaths(context) : std::nullopt;
    if (!paths) {
        DiskInventory inventory;
        inventory.failure = ListingFailure::InterfaceSet;
        return inventory;
    }
    return ReadDisks(context, *paths);
}

DiskInventory ReadDisks(udev* context, const std::vector<std::string>& syspaths) {
    DiskInventory inventory;
    for (const std::string& path : syspaths) {
        // A disk that left between the scan and now is simply no longer there: the listing goes
        // on with the next one. Only a disk that is still present but cannot be read stops it.
        UdevDevicePtr device(udev_device_new_from_syspath(context, path.c_str()));
        if (!device) {
            if (Vanished(path)) continue;
            inventory.failure = ListingFailure::CompatibleIds;
            return inventory;
        }
        DiskReading reading = ReadDisk(device.get());
        if (reading.failure != ListingFailure::None) {
            if (Vanished(path)) continue;
            inventory.failure = reading.failure;
            return inventory;
        }
        if (reading.disk) inventory.disks.push_back(std::move(*reading.disk));
    }
    return inventory;
}

std::optional<EnumeratedDisk> ReadDiskNow(udev* context, const std::string& sysname) {
    if (context == nullptr) return std::nullopt;
    UdevDevicePtr device(udev_device_new_from_subsystem_sysname(context, "block", sysname.c_str()));
    if (!device) return std::nullopt;
    DiskReading reading = ReadDisk(device.get());
    if (reading.failure != ListingFailure::None) return std::nullopt;
    return std::move(reading.disk);
}

std::vector<BlockNode> DiskAndPartitions(udev* context, const EnumeratedDisk& disk) {
    std::vector<BlockNode> nodes = {{disk.device_number, disk.devnode}};
    if (context == nullptr) return nodes;
    UdevDevicePtr parent(
        udev_device_new_from_subsystem_sysname(context, "block", disk.sysname.c_str()));
    UdevEnumeratePtr enumerate(udev_enumerate_new(context));
    if (!parent || !enumerate ||
        udev_enumerate_add_match_parent(enumerate.get(), parent.get()) < 0 ||
        udev_enumerate_add_match_subsystem(enumerate.get(), "block") < 0 ||
        udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE", "partition") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0)
        return nodes;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        UdevDevicePtr partition(
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (!partition) continue;
        const char* devnode = udev_device_get_devnode(partition.get());
        const dev_t number = udev_device_get_devnum(partition.get());
        if (devnode != nullptr && number != 0) nodes.push_back({number, devnode});
    }
    return nodes;
}

}  // namespace torvex::linux_backend
