#pragma once
// The device platform on Linux: block disks listed through libudev from sysfs, the exclusive,
// locked and proven open of a listed USB mass-storage disk, and SG_IO pass-through. Used from one
// thread.

#include <map>
#include <string>
#include <string_view>

#include "device/device_platform.h"
#include "device/linux/disk_reader.h"
#include "device/linux/exclusive_open.h"
#include "device/linux/mount_table.h"
#include "device/linux/product_lock.h"
#include "device/linux/raw_scsi_access.h"
#include "device/linux/udev_handles.h"

namespace torvex::linux_backend {

// Tells whether the process may send vendor opcodes; replaceable for tests.
using RawAccessProbe = bool (*)();

// What the platform takes from the system, replaceable for tests.
struct LinuxPlatformOptions {
    RawAccessProbe has_raw_access = &ProcessHasRawScsiAccess;
    OpenNodeCall open_node = nullptr;  // null: open(2)
    std::string mount_table = "/proc/self/mountinfo";
    // The per-product lock files: $TORVEX_LOCK_DIR when set, else /run/lock.
    std::string lock_directory = DefaultLockDirectory();

    static std::string DefaultLockDirectory();
};

class LinuxDevicePlatform final : public DevicePlatform {
  public:
    explicit LinuxDevicePlatform(LinuxPlatformOptions options = {});
    explicit LinuxDevicePlatform(RawAccessProbe has_raw_access);
    ~LinuxDevicePlatform() override;
    LinuxDevicePlatform(const LinuxDevicePlatform&) = delete;
    LinuxDevicePlatform& operator=(const LinuxDevicePlatform&) = delete;

    DiskListing ListDiskInterfaces() override;
    // Opens only a USB mass-storage disk of the last listing, and only while its node is still
    // that disk (see exclusive_open.h) and no other instance of the tool works with the product
    // (see product_lock.h).
    DeviceHandle OpenExclusive(std::u16string_view path) override;
    std::string LastOpenError() const override { return last_open_error_; }
    std::u16string OpenedParentDeviceId(DeviceHandle handle) const override;
    void Close(DeviceHandle handle) override;
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override;

    // The advice on rights, the first time it is due: the process lacks CAP_SYS_RAWIO, or the
    // kernel refused an open or a command for want of rights. Empty before that and ever after.
    // The window and the headless runner call it after start-up and after each event they
    // handle, and show a non-empty text to the operator.
    std::u16string TakeRawAccessAdvice();

    // True once the kernel refused an open or a command for want of rights.
    bool AccessRefused() const { return access_refused_; }

    // The disk and the mounts that made the last open fail (EBUSY while file systems of the
    // product are mounted); no mounts when the last open failed otherwise or succeeded. The window
    // and the runner name them and offer to unmount them.
    const MountedDisk& LastOpenMounts() const { return last_open_mounts_; }

  private:
    struct OpenDisk {
        int fd = -1;
        std::u16string parent_device_id;  // as proven at the open
    };

    DeviceHandle Fail(std::string reason);
    void NoteRefusal(int error_number);

    LinuxPlatformOptions options_;
    UdevPtr udev_;
    std::map<std::u16string, EnumeratedDisk, std::less<>> listed_;  // by path, last listing
    std::map<DeviceHandle, OpenDisk> open_;
    DeviceHandle next_handle_ = 1;
    ProductLocks locks_;
    std::string last_open_error_;
    MountedDisk last_open_mounts_;
    bool access_refused_ = false;
    bool advice_given_ = false;
};

}  // namespace torvex::linux_backend
