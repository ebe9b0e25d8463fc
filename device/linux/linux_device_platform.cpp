#include "device/linux/linux_device_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/text.h"
#include "device/linux/disk_enumerator.h"
#include "device/linux/open_failure.h"

namespace torvex::linux_backend {

namespace {
int OpenWithSystem(const char* path, int flags) {
    return open(path, flags);
}
}  // namespace

std::string LinuxPlatformOptions::DefaultLockDirectory() {
    const char* chosen = std::getenv("TORVEX_LOCK_DIR");
    return chosen != nullptr && *chosen != '\0' ? chosen : kDefaultLockDirectory;
}

LinuxDevicePlatform::LinuxDevicePlatform(LinuxPlatformOptions options)
    : options_(std::move(options)),
      carrier_(options_.carrier ? options_.carrier
                                : std::make_shared<SgIoCarrier>(options_.has_raw_access)),
      udev_(udev_new()),
      locks_(options_.lock_directory) {
    if (options_.open_node == nullptr) options_.open_node = &OpenWithSystem;
}

LinuxDevicePlatform::LinuxDevicePlatform(RawAccessProbe has_raw_access)
    : LinuxDevicePlatform([has_raw_access] {
          LinuxPlatformOptions options;
          options.has_raw_access = has_raw_access;
          return options;
      }()) {}

LinuxDevicePlatform::LinuxDevicePlatform(std::shared_ptr<CommandCarrier> carrier)
    : LinuxDevicePlatform([&carrier] {
          LinuxPlatformOptions options;
          options.carrier = std::move(carrier);
          return options;
      }()) {}

LinuxDevicePlatform::~LinuxDevicePlatform() {
    for (const auto& [handle, disk] : open_) {
        carrier_->Detach(disk.fd);
        close(disk.fd);
    }
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
    last_open_mounts_ = {};
    const auto listed = listed_.find(path);
    if (listed == listed_.end() || !listed->second.usb_mass_storage)
        return Fail(DescribeUnlistedPath(ToUtf8(path)));
    const EnumeratedDisk& disk = listed->second;
    // The product's lock comes first: a disk another instance works with is not even opened.
    // Through the helper, the helper takes it when it is handed the disk.
    if (!carrier_->LocksProducts()) {
        if (std::string held = locks_.Acquire(disk.port_path); !held.empty()) return Fail(held);
    }

    OpenOutcome outcome = OpenEnumeratedDisk(udev_.get(), disk, options_.open_node);
    if (outcome.fd < 0) {
        NoteRefusal(outcome.error_number);
        if (outcome.error_number == EBUSY) {
            last_open_mounts_ = {disk.devnode, MountsOf(ReadMountTable(options_.mount_table),
                                                        DiskAndPartitions(udev_.get(), disk))};
        }
        return Fail(DescribeOpenFailure(disk, outcome, last_open_mounts_.mounts));
    }
    const AttachOutcome attached = carrier_->Attach(outcome.fd);
    if (!attached.refusal.empty()) {
        close(outcome.fd);
        access_refused_ = access_refused_ || attached.access_missing;
        return Fail(attached.refusal);
    }
    // Small positive handles, never an fd: a stray handle cannot reach another file.
    DeviceHandle handle = next_handle_;
    while (open_.count(handle) != 0) handle = handle == INT_MAX ? 1 : handle + 1;
    next_handle_ = handle == INT_MAX ? 1 : handle + 1;
    open_.emplace(handle, OpenDisk{outcome.fd, outcome.proven->interface.parent_device_id});
    last_open_error_.clear();
    return handle;
}

DeviceHandle LinuxDevicePlatform::Fail(std::string reason) {
    last_open_error_ = std::move(reason);
    return kInvalidDeviceHandle;
}

std::u16string LinuxDevicePlatform::OpenedParentDeviceId(DeviceHandle handle) const {
    const auto open = open_.find(handle);
    return open == open_.end() ? std::u16string() : open->second.parent_device_id;
}

void LinuxDevicePlatform::Close(DeviceHandle handle) {
    const auto open = open_.find(handle);
    if (open == open_.end()) return;
    carrier_->Detach(open->second.fd);
    close(open->second.fd);
    open_.erase(open);
}

PassThroughResult LinuxDevicePlatform::PassThrough(DeviceHandle handle,
                                                   const PassThroughRequest& request) {
    const auto open = open_.find(handle);
    if (open == open_.end()) {
        PassThroughResult result;
        result.error = TransportError::InvalidHandle;
        result.diagnostic = "no open device for handle " + std::to_string(handle);
        return result;
    }
    PassThroughResult result = carrier_->Send(open->second.fd, request);
    if (result.error == TransportError::PermissionDenied) {
        // The first refusal carries the advice, so it reads differently from a plain failure.
        if (!access_refused_) result.diagnostic += ". " + ToUtf8(kRawScsiAccessAdvice);
        access_refused_ = true;
    }
    return result;
}

std::u16string LinuxDevicePlatform::TakeRawAccessAdvice() {
    if (advice_given_) return {};
    if (!access_refused_ && carrier_->Usable()) return {};
    advice_given_ = true;
    return std::u16string(kRawScsiAccessAdvice);
}

void LinuxDevicePlatform::NoteRefusal(int error_number) {
    if (error_number == EACCES || error_number == EPERM) access_refused_ = true;
}

}  // namespace torvex::linux_backend
