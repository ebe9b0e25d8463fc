#include "device/linux/disk_reader.h"

#include <unistd.h>

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
    const char* port = udev_device_get_sysname(usb_device);
    disk.port_path = port != nullptr ? port : "";
    disk.interface.port_path = Widen(std::string_view(disk.port_path));
    disk.interface.compatible_ids = std::u16string(kUsbMassStorageCompatibleId);
    disk.interface.parent_device_id = ParentDeviceId(*vid, *pid, SerialText(serial));
    disk.usb_mass_storage = true;
    return ListingFailure::None;
}

// The sd driver's disks are SCSI direct-access devices (peripheral type 0); CD-ROM LUNs (sr,
// type 5), tapes and the rest are not candidates for the product.
bool IsScsiDirectAccessDisk(udev_device* disk) {
    udev_device* scsi = udev_device_get_parent_with_subsystem_devtype(disk, "scsi", "scsi_device");
    if (scsi == nullptr) return false;
    const char* type = udev_device_get_sysattr_value(scsi, "type");
    const char* driver = udev_device_get_driver(scsi);
    return type != nullptr && std::string_view(type) == "0" && driver != nullptr &&
           std::string_view(driver) == "sd";
}

// udev sets a new disk up after the kernel added it (its rules, among them the access they give
// the active user); a disk it has not finished with is not there yet, so the tool never opens a
// node whose access is still the kernel's default. A system without a udev daemon sets nothing
// up: there every disk counts at once.
bool SetUpByUdev(udev_device* disk) {
    return udev_device_get_is_initialized(disk) > 0 || access("/run/udev/control", F_OK) != 0;
}

}  // namespace

DiskReading ReadDisk(udev_device* device) {
    const char* devnode = udev_device_get_devnode(device);
    const dev_t number = udev_device_get_devnum(device);
    const char* sysname = udev_device_get_sysname(device);
    if (devnode == nullptr || number == 0 || sysname == nullptr) return {};
    if (!SetUpByUdev(device)) return {};

    EnumeratedDisk disk;
    disk.devnode = devnode;
    disk.sysname = sysname;
    disk.device_number = number;
    if (const char* syspath = udev_device_get_syspath(device)) disk.syspath = syspath;
    disk.interface.path = Widen(std::string_view(disk.devnode));
    disk.interface.compatible_ids = std::u16string(kOtherDiskCompatibleId);

    udev_device* interface =
        udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_interface");
    if (interface != nullptr) {
        const char* interface_class = udev_device_get_sysattr_value(interface, "bInterfaceClass");
        if (interface_class == nullptr) return Failed(ListingFailure::CompatibleIds);
        if (IsMassStorageInterface(interface_class, udev_device_get_driver(interface)) &&
            IsScsiDirectAccessDisk(device)) {
            const ListingFailure failure = ReadUsbIdentity(interface, disk);
            if (failure != ListingFailure::None) return Failed(failure);
        }
    }
    return DiskReading{ListingFailure::None, std::move(disk)};
}

}  // namespace torvex::linux_backend
