#pragma once
// The device platform on Windows: disk interfaces from the device-installation services, an
// exclusive CreateFileW on the interface path, and IOCTL_SCSI_PASS_THROUGH_DIRECT on it.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "device/device_platform.h"
#include "device/windows/disk_interface_listing.h"

namespace torvex::windows {

class WindowsDevicePlatform : public DevicePlatform {
  public:
    // Where the listing's steps come from: the device-installation services, or a test's own.
    using StepsFactory = std::function<std::unique_ptr<DiskInterfaceSteps>()>;

    explicit WindowsDevicePlatform(StepsFactory steps = {});
    WindowsDevicePlatform(const WindowsDevicePlatform&) = delete;
    WindowsDevicePlatform& operator=(const WindowsDevicePlatform&) = delete;
    ~WindowsDevicePlatform() override;

    DiskListing ListDiskInterfaces() override;
    // After CreateFileW the interface at the opened path is looked up again, and its parent
    // device's instance id is what OpenedParentDeviceId reports: the proof that the handle
    // belongs to the disk that was listed.
    DeviceHandle OpenExclusive(std::u16string_view path) override;
    std::string LastOpenError() const override { return last_open_error_; }
    std::u16string OpenedParentDeviceId(DeviceHandle handle) const override;
    void Close(DeviceHandle handle) override;
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override;

  private:
    struct OpenDisk {
        HANDLE file = INVALID_HANDLE_VALUE;
        std::uint32_t alignment_mask = 0;  // what the adapter needs of a direct buffer
        std::u16string parent_device_id;   // of the interface at the opened path, after the open
    };
    std::u16string ListedParentOf(std::u16string_view path);

    StepsFactory steps_;
    std::map<DeviceHandle, OpenDisk> open_;
    DeviceHandle next_handle_ = 1;
    std::string last_open_error_;
};

// The adapter's alignment requirement for direct transfers on an open disk: the storage
// adapter descriptor's AlignmentMask, else the SCSI capabilities' one; 0 (any address) when the
// adapter answers neither, which is how the requests were always sent.
std::uint32_t QueryAlignmentMask(HANDLE disk);

}  // namespace torvex::windows
