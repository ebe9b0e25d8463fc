#include "helper/disk_proof.h"

#include <sys/sysmacros.h>

#include <array>
#include <string_view>

#include "base/text.h"
#include "device/linux/disk_reader.h"
#include "device/linux/udev_handles.h"

namespace torvex::helper {
namespace {

using linux_backend::EnumeratedDisk;

// The parent ids of the product's three USB identities, up to the serial.
constexpr std::array<std::string_view, 3> kProductIdentities = {
    "USB\\VID_0A81&PID_0320\\", "USB\\VID_0A81&PID_0321\\", "USB\\VID_2175&PID_5001\\"};
constexpr std::size_t kVidPidOffset = 4;   // after "USB\"
constexpr std::size_t kVidPidLength = 17;  // "VID_vvvv&PID_pppp"

DiskProof Refused(std::string reason) {
    return {std::nullopt, std::move(reason)};
}

std::string Numbers(dev_t number) {
    return std::to_string(major(number)) + ":" + std::to_string(minor(number));
}

bool IsProductIdentity(std::string_view parent_device_id) {
    for (std::string_view identity : kProductIdentities)
        if (parent_device_id.substr(0, identity.size()) == identity) return true;
    return false;
}

// The block device with this number: through sysfs's index of device numbers, or where sysfs has
// none (a test's sysfs), by a search of the block devices.
linux_backend::UdevDevicePtr BlockDeviceNumbered(udev* context, dev_t number) {
    if (context == nullptr) return nullptr;
    linux_backend::UdevDevicePtr device(udev_device_new_from_devnum(context, 'b', number));
    if (device) return device;
    linux_backend::UdevEnumeratePtr enumerate(udev_enumerate_new(context));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "block") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0)
        return nullptr;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        device.reset(udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (device && udev_device_get_devnum(device.get()) == number) return device;
    }
    return nullptr;
}

// The disk with this device number as the kernel reports it now, or why there is none.
DiskProof ReadWholeDisk(udev* context, dev_t number) {
    const std::string numbers = "block device " + Numbers(number);
    linux_backend::UdevDevicePtr device = BlockDeviceNumbered(context, number);
    if (!device) return Refused(numbers + " is not known to the kernel");
    const char* devtype = udev_device_get_devtype(device.get());
    if (devtype == nullptr || std::string_view(devtype) != "disk")
        return Refused(numbers + " is not a whole disk");
    linux_backend::DiskReading reading = linux_backend::ReadDisk(device.get());
    if (reading.failure != ListingFailure::None || !reading.disk)
        return Refused(numbers + " cannot be read from sysfs");
    const EnumeratedDisk& disk = *reading.disk;
    if (!disk.usb_mass_storage || disk.device_number != number)
        return Refused(numbers + " is not a SCSI disk (sd) behind a usb-storage or uas interface");
    return {
        ProvenDisk{number, disk.sysname, ToUtf8(disk.interface.parent_device_id), disk.port_path},
        ""};
}

}  // namespace

DiskProof ProveProductDisk(udev* context, DescriptorAccess& access, int fd) {
    const std::optional<dev_t> number = access.BlockDevice(fd);
    if (!number) return Refused("the descriptor is not open on a block device");
    DiskProof proof = ReadWholeDisk(context, *number);
    if (!proof.disk) return proof;
    const std::string& id = proof.disk->parent_device_id;
    if (!IsProductIdentity(id))
        return Refused("block device " + Numbers(*number) + " belongs to USB device " +
                       id.substr(kVidPidOffset, kVidPidLength) + ", which is not the product");
    return proof;
}

std::string ReproveDisk(udev* context, DescriptorAccess& access, int fd, const ProvenDisk& proven) {
    const std::optional<dev_t> number = access.BlockDevice(fd);
    if (!number || *number != proven.device_number)
        return "the descriptor is no longer open on block device " + Numbers(proven.device_number);
    const DiskProof now = ReadWholeDisk(context, *number);
    if (!now.disk || now.disk->sysname != proven.sysname ||
        now.disk->parent_device_id != proven.parent_device_id)
        return "block device " + Numbers(proven.device_number) + " (" + proven.sysname +
               ") is gone or is no longer the product that was claimed";
    return {};
}

}  // namespace torvex::helper
