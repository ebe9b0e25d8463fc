#include "device/linux/disk_reader.h"

#include <string_view>

#include "base/text.h"
#include "device/linux/usb_disk_identity.h"

namespace torvex::linux_backend {
namespace {

DiskReading Failed(ListingFailure failure) {
    return DiskReading{failure, std::nullopt};
}

// Fills the identity of a disk behind a USB mass-storage interface.
ListingFailure ReadUsbIdentity(udev_device* interface, EnumeratedDisk& disk) {
    udev_device* usb_device =
        udev_device_get_parent_with_subsystem_devtype(interface, "usb", "usb_device");
    if (usb_device == nullptr) return ListingFailure::ParentInstance;
    const char* vendor = udev_device_get_sysattr_value(usb_device, "idVendor");
    const char* product = udev_device_get_sysattr_value(usb_device, "idProduct");
    if (vendor == nullptr || product == nullptr) return ListingFailure::ParentDeviceId;

    const auto vid = UsbIdDigits(vendor);
    const auto pid = UsbIdDigits(product);
    if (!vid || !pid) return ListingFailure::None;  // stays an ordinary disk
    const char* serial = udev_device_get_sysattr_value(usb_device, "serial");
    disk.interface.compatible_ids = std::u16string(kUsbMassStorageCompatibleId);
    disk.interface.parent_device_id = ParentDeviceId(*vid, *pid, SerialText(serial));
    disk.usb_mass_storage = true;
    return ListingFailure::None;
}

}  // namespace

DiskReading ReadDisk(udev_device* device) {
    const char* devnode = udev_device_get_devnode(device);
    const dev_t number = udev_device_get_devnum(device);
    const char* sysname = udev_device_get_sysname(device);
    if (devnode == nullptr || number == 0 || sysname == nullptr) return {};

    EnumeratedDisk disk;
    disk.devnode = devnode;
    disk.sysname = sysname;
    disk.device_number = number;
    disk.interface.path = Widen(std::string_view(disk.devnode));
    disk.interface.compatible_ids = std::u16string(kOtherDiskCompatibleId);

    udev_device* interface =
        udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_interface");
    if (interface != nullptr) {
        const char* interface_class = udev_device_get_sysattr_value(interface, "bInterfaceClass");
        if (interface_class == nullptr) return Failed(ListingFailure::CompatibleIds);
        if (IsMassStorageInterface(interface_class, udev_device_get_driver(interface))) {
            const ListingFailure failure = ReadUsbIdentity(interface, disk);
            if (failure != ListingFailure::None) return Failed(failure);
        }
    }
    return DiskReading{ListingFailure::None, std::move(disk)};
}

}  // namespace torvex::linux_backend
