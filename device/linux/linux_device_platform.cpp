#include "device/linux/linux_device_platform.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

#include "base/text.h"
#include "device/linux/disk_enumerator.h"
#include "device/linux/exclusive_open.h"
#include "device/linux/sg_io_pass_through.h"

namespace torvex::linux_backend {

LinuxDevicePlatform::LinuxDevicePlatform(RawAccessProbe has_raw_access)
    : udev_(udev_new()), has_raw_access_(has_raw_access) {}

LinuxDevicePlatform::~LinuxDevicePlatform() {
    for (const auto& [handle, fd] : open_fds_) close(fd);
}

DiskListing LinuxDevicePlatform::ListDiskInterfaces() {
    if (!udev_) udev_.reset(udev_new());
    DiskInventory inventory = EnumerateDisks(udev_.get());
    DiskListing listing;
    listing.failure = inventory.failure;
    listed_.clear();
    for (EnumeratedDisk& disk : inventory.disks) {
        listing.disks.push_back(disk.interface);
        std::u16string path = disk.interface.path;
        listed_.insert_or_assign(std::move(path), std::move(disk));
    }
    return listing;
}

DeviceHandle LinuxDevicePlatform::OpenExclusive(std::u16string_view path) {
    const auto listed = listed_.find(path);
    if (listed == listed_.end() || !listed->second.usb_mass_storage) return kInvalidDeviceHandle;
    const OpenOutcome outcome = OpenEnumeratedDisk(udev_.get(), listed->second);
    if (outcome.fd < 0) {
        NoteRefusal(outcome.error_number);
        return kInvalidDeviceHandle;
    }
    // Small positive handles, never an fd: a stray handle cannot reach another file.
    DeviceHandle handle = next_handle_;
    while (open_fds_.count(handle) != 0) handle = handle == INT_MAX ? 1 : handle + 1;
    next_handle_ = handle == INT_MAX ? 1 : handle + 1;
    open_fds_.emplace(handle, outcome.fd);
    return handle;
}

void LinuxDevicePlatform::Close(DeviceHandle handle) {
    const auto open = open_fds_.find(handle);
    if (open == open_fds_.end()) return;
    close(open->second);
    open_fds_.erase(open);
}

PassThroughResult LinuxDevicePlatform::PassThrough(DeviceHandle handle,
                                                   const PassThroughRequest& request) {
    const auto open = open_fds_.find(handle);
    if (open == open_fds_.end()) {
        PassThroughResult result;
        result.error = TransportError::InvalidHandle;
        result.diagnostic = "no open device for handle " + std::to_string(handle);
        return result;
    }
    PassThroughResult result = SendSgIo(open->second, request);
    if (result.error == TransportError::PermissionDenied) {
        // The first refusal carries the advice, so it reads differently from a plain failure.
        if (!access_refused_) result.diagnostic += ". " + ToUtf8(kRawScsiAccessAdvice);
        access_refused_ = true;
    }
    return result;
}

std::u16string LinuxDevicePlatform::TakeRawAccessAdvice() {
    if (advice_given_) return {};
    if (!access_refused_ && has_raw_access_ != nullptr && has_raw_access_()) return {};
    advice_given_ = true;
    return std::u16string(kRawScsiAccessAdvice);
}

void LinuxDevicePlatform::NoteRefusal(int error_number) {
    if (error_number == EACCES || error_number == EPERM) access_refused_ = true;
}

}  // namespace torvex::linux_backend
