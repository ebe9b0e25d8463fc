#pragma once
// The device platform on Windows: disk interfaces from the device-installation services, an
// exclusive CreateFileW on the interface path, and IOCTL_SCSI_PASS_THROUGH_DIRECT on it.

#include <windows.h>

#include <cstdint>
#include <map>

#include "device/device_platform.h"

namespace torvex::windows {

class WindowsDevicePlatform : public DevicePlatform {
  public:
    WindowsDevicePlatform() = default;
    WindowsDevicePlatform(const WindowsDevicePlatform&) = delete;
    WindowsDevicePlatform& operator=(const WindowsDevicePlatform&) = delete;
    ~WindowsDevicePlatform() override;

    DiskListing ListDiskInterfaces() override;
    DeviceHandle OpenExclusive(std::u16string_view path) override;
    void Close(DeviceHandle handle) override;
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override;

  private:
    struct OpenDisk {
        HANDLE file = INVALID_HANDLE_VALUE;
        std::uint32_t alignment_mask = 0;  // what the adapter needs of a direct buffer
    };
    std::map<DeviceHandle, OpenDisk> open_;
    DeviceHandle next_handle_ = 1;
};

// The adapter's alignment requirement for direct transfers on an open disk: the storage
// adapter descriptor's AlignmentMask, else the SCSI capabilities' one; 0 (any address) when the
// adapter answers neither, which is how the requests were always sent.
std::uint32_t QueryAlignmentMask(HANDLE disk);

}  // namespace torvex::windows
