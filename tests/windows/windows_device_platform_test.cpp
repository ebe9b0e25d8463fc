// The Windows platform on this machine's own services, with no product: the listing, the
// exclusive open (on a scratch file, never a disk) and a request that the target refuses.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "base/status_log.h"
#include "device/isp_commands.h"
#include "device/product_connection.h"
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

// The listing as a test gives it: one USB disk at a scratch file's path.
class OneDisk final : public DiskInterfaceSteps {
  public:
    OneDisk(std::u16string path, std::u16string parent_id)
        : path_(std::move(path)), parent_id_(std::move(parent_id)) {}
    bool OpenInterfaceSet() override { return true; }
    bool SelectInterface(std::uint32_t index) override { return index == 0; }
    bool ReadInterfaceDetail(std::span<std::uint8_t, kInterfaceDetailBytes> record) override {
        for (std::size_t i = 0; i < path_.size(); ++i) {
            record[kDetailPathOffset + 2 * i] = static_cast<std::uint8_t>(path_[i] & 0xFF);
            record[kDetailPathOffset + 2 * i + 1] = static_cast<std::uint8_t>(path_[i] >> 8);
        }
        return true;
    }
    bool ReadCompatibleIds(std::span<std::uint8_t, kCompatibleIdsBytes>,
                           std::uint32_t& bytes) override {
        bytes = 0;
        return true;
    }
    bool ReadParentInstance() override { return true; }
    bool ReadParentDeviceId(std::span<char16_t, kParentDeviceIdUnits> buffer) override {
        std::copy(parent_id_.begin(), parent_id_.end(), buffer.begin());
        return true;
    }
    void CloseInterfaceSet() override {}

  private:
    std::u16string path_;
    std::u16string parent_id_;
};

// After CreateFileW the platform looks the opened path up again and reports the parent of the
// interface it finds there; the tool refuses a disk that is not the product it found.
TEST(WindowsDevicePlatform, TheOpenedDiskIsProvenToBeTheListedOne) {
    ScratchFile file;
    ASSERT_FALSE(file.path.empty());
    std::u16string listed_parent = u"USB\\VID_2175&PID_5001\\A";
    WindowsDevicePlatform platform(
        [&] { return std::make_unique<OneDisk>(file.path, listed_parent); });
    const DeviceHandle handle = platform.OpenExclusive(file.path);
    ASSERT_NE(handle, kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenedParentDeviceId(handle), u"USB\\VID_2175&PID_5001\\A");
    platform.Close(handle);
    EXPECT_TRUE(platform.OpenedParentDeviceId(handle).empty());

    // Another device now sits behind the path: the connection refuses it and sends nothing.
    listed_parent = u"USB\\VID_0781&PID_5567\\STICK";
    testing::RecordingWindow window;
    StatusLog log(window);
    ScsiTransport transport(log, platform);
    SharedDataBuffer replies;
    ProductConnection product(transport, replies);
    EXPECT_FALSE(product.OpenOrReport(file.path, u"USB\\VID_2175&PID_5001\\A"));
    EXPECT_EQ(window.Utf8Lines().front(), "Open USB device failed.");
    EXPECT_NE(window.Utf8Lines().back().find("not the product that was found"), std::string::npos);
}

TEST(WindowsDevicePlatform, AFailedOpenSaysWhy) {
    ScratchFile file;
    WindowsDevicePlatform platform;
    const DeviceHandle first = platform.OpenExclusive(file.path);
    ASSERT_NE(first, kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenExclusive(file.path), kInvalidDeviceHandle);
    EXPECT_EQ(platform.LastOpenError().rfind("CreateFileW: error 32 (", 0), 0u)
        << platform.LastOpenError();
    EXPECT_NE(platform.LastOpenError().find("another program has the disk open"),
              std::string::npos);
    platform.Close(first);
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
