#pragma once
// The device platform on Linux: block disks listed through libudev from sysfs, the exclusive,
// locked and proven open of a listed USB mass-storage disk, and pass-through by a carrier: SG_IO
// for a process with CAP_SYS_RAWIO, torvex-isp-helper for one without (see command_carrier.h).
// Used from one thread.

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "device/device_platform.h"
#include "device/linux/command_carrier.h"
#include "device/linux/disk_reader.h"
#include "device/linux/exclusive_open.h"
#include "device/linux/mount_table.h"
#include "device/linux/product_lock.h"
#include "device/linux/raw_scsi_access.h"
#include "device/linux/udev_handles.h"

namespace torvex::linux_backend {

// What the platform takes from the system, replaceable for tests.
struct LinuxPlatformOptions {
    RawAccessProbe has_raw_access = &ProcessHasRawScsiAccess;
    // What carries the commands; null: SG_IO, with has_raw_access telling whether it can.
    std::shared_ptr<CommandCarrier> carrier;
    OpenNodeCall open_node = nullptr;  // null: open(2)
    std::string mount_table = "/proc/self/mountinfo";
    // The per-product lock files: $TORVEX_LOCK_DIR when set, else /run/torvex-isp.
    std::string lock_directory = DefaultLockDirectory();

    static std::string DefaultLockDirectory();
};

class LinuxDevicePlatform final : public DevicePlatform {
  public:
    explicit LinuxDevicePlatform(LinuxPlatformOptions options = {});
    explicit LinuxDevicePlatform(RawAccessProbe has_raw_access);
    // The window's and the runner's: commands carried as ChooseCommandCarrier decides.
    explicit LinuxDevicePlatform(std::shared_ptr<CommandCarrier> carrier);
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

    // The advice on rights, the first time it is due: nothing can carry commands (the process
    // lacks CAP_SYS_RAWIO and the helper cannot be reached), or the kernel refused an open or a
    // command for want of rights. Empty before that and ever after.
    // The window and the headless runner call it after start-up and after each event they
    // handle, and show a non-empty text to the operator.
    std::u16string TakeRawAccessAdvice();

    // True once the kernel refused an open or a command for want of rights, or the helper could
    // not be reached to take a disk.
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
    std::shared_ptr<CommandCarrier> carrier_;
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
