// The Windows platform on this machine's own services, with no product: the listing, the
// exclusive open (on a scratch file, never a disk) and a request that the target refuses.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/status_log.h"
#include "device/isp_commands.h"
#include "device/scsi_transport.h"
#include "device/windows/windows_device_platform.h"
#include "tests/support/recording_window.h"

namespace torvex::windows {
namespace {

// A scratch file in the temporary directory, removed at the end.
struct ScratchFile {
    ScratchFile() {
        wchar_t dir[MAX_PATH];
        wchar_t name[MAX_PATH];
        if (GetTempPathW(MAX_PATH, dir) != 0 && GetTempFileNameW(dir, L"tvx", 0, name) != 0)
            for (const wchar_t* c = name; *c != 0; ++c) path.push_back(static_cast<char16_t>(*c));
    }
    ~ScratchFile() {
        const std::wstring wide(path.begin(), path.end());
        DeleteFileW(wide.c_str());
    }
    std::u16string path;
};

TEST(WindowsDevicePlatform, ListingOfThisMachineNeverFailsToObtainTheSet) {
    WindowsDevicePlatform platform;
    const DiskListing listing = platform.ListDiskInterfaces();
    EXPECT_NE(listing.failure, ListingFailure::InterfaceSet);
    for (const DiskInterface& disk : listing.disks)
        EXPECT_EQ(disk.path.substr(0, 4), u"\\\\?\\") << "an interface path";
}

TEST(WindowsDevicePlatform, OpenIsExclusiveUntilClosed) {
    ScratchFile file;
    ASSERT_FALSE(file.path.empty());
    WindowsDevicePlatform platform;
    const DeviceHandle first = platform.OpenExclusive(file.path);
    ASSERT_NE(first, kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenExclusive(file.path), kInvalidDeviceHandle) << "share mode 0";
    platform.Close(first);
    const DeviceHandle again = platform.OpenExclusive(file.path);
    EXPECT_NE(again, kInvalidDeviceHandle);
    EXPECT_NE(again, first) << "a closed handle is not handed out again";
    platform.Close(again);
    platform.Close(kInvalidDeviceHandle);  // does nothing

    EXPECT_EQ(platform.OpenExclusive(u""), kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenExclusive(file.path + u'\0' + u"x"), kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenExclusive(u"\\\\?\\no-such-device#{53f56307}"), kInvalidDeviceHandle);
}

TEST(WindowsDevicePlatform, RequestTheTargetRefusesIsAFailedAttemptWithTheSystemsWords) {
    ScratchFile file;
    WindowsDevicePlatform platform;
    const DeviceHandle handle = platform.OpenExclusive(file.path);
    ASSERT_NE(handle, kInvalidDeviceHandle);

    testing::RecordingWindow window;
    StatusLog log(window);
    ScsiTransport transport(log, platform);
    const auto execute = IspExecuteCommandBlock();
    EXPECT_EQ(transport.SendSCSICommand(handle, execute, DataPhase::None(DataDirection::In)), 0);
    EXPECT_EQ(window.Utf8Lines(), std::vector<std::string>(3, "SendSCSICommand FAIL : >0x0<"));
    EXPECT_FALSE(transport.LastResult().delivered);
    EXPECT_EQ(transport.LastResult().diagnostic.rfind("IOCTL_SCSI_PASS_THROUGH_DIRECT: error ", 0),
              0u)
        << transport.LastResult().diagnostic;
    platform.Close(handle);

    // After the close the handle reaches nothing.
    PassThroughRequest request;
    request.cdb = execute;
    const PassThroughResult closed = platform.PassThrough(handle, request);
    EXPECT_FALSE(closed.delivered);
    EXPECT_EQ(closed.error, TransportError::InvalidHandle);
}

}  // namespace
}  // namespace torvex::windows
