// The product on a real desk: a CD-ROM LUN beside it, a mounted file system, a second instance
// of the tool. Nothing may reach the wrong disk, and a refused open always says why.
#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "app/controller_state_update.h"
#include "app/dialog_core.h"
#include "base/text.h"
#include "device/linux/linux_device_platform.h"
#include "firmware/ef64_version_check.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/scripted_disk.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/recording_window.h"

namespace torvex::testing {
namespace {

using linux_backend::LinuxDevicePlatform;
using linux_backend::LinuxPlatformOptions;

struct SafeOpenTest : ::testing::Test {
    MockSystem system;
    ScriptedDisk backing;
};

TEST_F(SafeOpenTest, ACdRomLunWithTheProductsIdentityIsNeverACandidate) {
    FakeUsbDisk disk(system, ApplicationIdentity(), backing);
    FakeUsbDiskOptions cdrom_options;
    cdrom_options.identity = ApplicationIdentity();
    cdrom_options.scsi_type = "5";
    cdrom_options.scsi_driver = "sr";
    FakeUsbDisk cdrom(system, cdrom_options, backing);

    LinuxDevicePlatform platform;
    const DiskListing listing = platform.ListDiskInterfaces();
    std::size_t products = 0;
    for (const DiskInterface& listed : listing.disks) {
        if (listed.compatible_ids != u"USBSTOR\\Disk") continue;
        ++products;
        EXPECT_EQ(listed.path, disk.Path());
    }
    EXPECT_EQ(products, 1u);
    EXPECT_EQ(platform.OpenExclusive(cdrom.Path()), kInvalidDeviceHandle);
    EXPECT_EQ(cdrom.SeenCount(), 0u);
}

// open(2) answers EBUSY for the disk, as the kernel does while a file system of it is mounted.
int BusyOpen(const char*, int) {
    errno = EBUSY;
    return -1;
}

TEST_F(SafeOpenTest, ABusyDiskNamesItsMountsAndTheCommandThatFreesThem) {
    FakeUsbDisk product(system, ApplicationIdentity(), backing);
    const auto [partition, number] = product.AddPartition(1);
    const std::string table = system.RootDir() + "/mountinfo";
    std::ofstream(table) << "22 1 0:21 / /proc rw - proc proc rw\n"
                         << "98 29 " << major(number) << ":" << minor(number)
                         << " / /media/op/MY\\040STICK rw,nosuid - vfat " << partition << " rw\n";
    LinuxPlatformOptions options;
    options.open_node = &BusyOpen;
    options.mount_table = table;
    LinuxDevicePlatform platform(options);
    platform.ListDiskInterfaces();

    EXPECT_EQ(platform.OpenExclusive(product.Path()), kInvalidDeviceHandle);
    EXPECT_EQ(platform.LastOpenError(), "Device or resource busy (errno 16): " + partition +
                                            " is mounted on /media/op/MY STICK; free it with: "
                                            "udisksctl unmount -b " +
                                            partition);
    // The same mounts, for the window's and the runner's offer to unmount them.
    EXPECT_EQ(platform.LastOpenMounts(),
              (linux_backend::MountedDisk{product.DevNode(), {{partition, "/media/op/MY STICK"}}}));
    EXPECT_EQ(product.SeenCount(), 0u);
}

// open(2) for everything but one node, which answers EBUSY from its second open on: the product is
// found, then the desktop mounts it before the first check.
std::string busy_node;
int busy_opens = 0;
int BusyAfterDiscovery(const char* path, int flags) {
    if (path == busy_node && ++busy_opens > 1) return BusyOpen(path, flags);
    return open(path, flags);
}

// Options under which `node` opens once (discovery), then answers EBUSY; `busy_at_once`: from its
// first open on.
LinuxPlatformOptions BusyAfterDiscoveryOf(const std::string& node, bool busy_at_once = false) {
    busy_node = node;
    busy_opens = busy_at_once ? 1 : 0;
    LinuxPlatformOptions options;
    options.open_node = &BusyAfterDiscovery;
    return options;
}

TEST_F(SafeOpenTest, ACheckThatFindsTheProductMountedSaysSoAndClassesNothing) {
    FakeUsbDisk product(system, ApplicationIdentity(), backing);
    const auto [partition, number] = product.AddPartition(1);
    const std::string table = system.RootDir() + "/mountinfo";
    std::ofstream(table) << "98 29 " << major(number) << ":" << minor(number)
                         << " / /media/op/STICK rw - vfat " << partition << " rw\n";
    LinuxPlatformOptions options = BusyAfterDiscoveryOf(product.DevNode());
    options.mount_table = table;
    LinuxDevicePlatform platform(options);
    RecordingWindow window;
    const MemoryFirmwareBlocks blocks = MemoryFirmwareBlocks::Patterned();
    DialogCore core(window, platform, blocks);
    ASSERT_TRUE(core.OnInitDialog());
    ASSERT_EQ(core.State().RunMode, kRunModeAppOrOta);
    window.ClearLog();

    Check_Application_Version_Combine(core.Context());
    const auto lines = window.Utf8Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Open USB device failed.");
    EXPECT_EQ(lines[2], "Reason: Device or resource busy (errno 16): " + partition +
                            " is mounted on /media/op/STICK; free it with: udisksctl unmount -b " +
                            partition);
    EXPECT_EQ(core.State().Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(core.State().Ef32VersionClass, Ef32Class::Unchecked);
    EXPECT_EQ(product.SeenCount(), 0u);
}

// The mounts of a refused open are those of the product's own disk and partitions, found by
// device number in the table; the next open that does not fail for mounts forgets them.
TEST_F(SafeOpenTest, TheMountsOfARefusedOpenAreKeptUntilTheNextOpen) {
    FakeUsbDisk product(system, ApplicationIdentity(), backing);
    const auto [first, first_number] = product.AddPartition(1);
    const auto [second, second_number] = product.AddPartition(2);
    const std::string table = system.RootDir() + "/mountinfo";
    std::ofstream(table) << "98 29 " << major(second_number) << ":" << minor(second_number)
                         << " / /media/op/DATA rw - ext4 " << second << " rw\n"
                         << "99 29 8:99 / /media/op/OTHER rw - vfat /dev/sdz1 rw\n"
                         << "100 29 " << major(first_number) << ":" << minor(first_number)
                         << " / /mnt rw - vfat " << first << " rw\n";
    LinuxPlatformOptions options = BusyAfterDiscoveryOf(product.DevNode());
    options.mount_table = table;
    LinuxDevicePlatform platform(options);
    platform.ListDiskInterfaces();

    const DeviceHandle opened = platform.OpenExclusive(product.Path());  // not yet mounted
    ASSERT_NE(opened, kInvalidDeviceHandle);
    EXPECT_TRUE(platform.LastOpenMounts().mounts.empty());
    platform.Close(opened);
    EXPECT_EQ(platform.OpenExclusive(product.Path()), kInvalidDeviceHandle);
    EXPECT_EQ(platform.LastOpenMounts(),
              (linux_backend::MountedDisk{product.DevNode(),
                                          {{second, "/media/op/DATA"}, {first, "/mnt"}}}));
    EXPECT_EQ(platform.OpenExclusive(u"/dev/not-listed"), kInvalidDeviceHandle);
    EXPECT_TRUE(platform.LastOpenMounts().mounts.empty());
    EXPECT_EQ(product.SeenCount(), 0u);
}

// Two products; the one listed last cannot be opened. Everything the tool records is the first
// one's, and an update sends nothing to the second.
TEST_F(SafeOpenTest, TheProductThatCouldNotBeOpenedGetsNoCommand) {
    FakeUsbDisk first(system, ProtectIspIdentity(), backing);
    ScriptedDisk second_backing;
    FakeUsbDisk second(system, ApplicationIdentity(), second_backing);
    const LinuxPlatformOptions options = BusyAfterDiscoveryOf(second.DevNode(), true);
    LinuxDevicePlatform platform(options);
    RecordingWindow window;
    const MemoryFirmwareBlocks blocks = MemoryFirmwareBlocks::Patterned();
    DialogCore core(window, platform, blocks);
    ASSERT_TRUE(core.OnInitDialog());
    EXPECT_EQ(core.State().RunMode, kRunModeProtectIsp);
    EXPECT_EQ(core.State().DeviceVid, kVendorBootAndIsp);
    EXPECT_EQ(core.State().DevicePath, first.Path());

    core.OnUpdateFw();
    EXPECT_GT(first.SeenCount(), 0u);
    EXPECT_EQ(second.SeenCount(), 0u);
}

TEST_F(SafeOpenTest, ASecondInstanceIsToldWhoHasTheProduct) {
    FakeUsbDisk product(system, ApplicationIdentity(), backing);
    LinuxDevicePlatform first;
    first.ListDiskInterfaces();
    const DeviceHandle handle = first.OpenExclusive(product.Path());
    ASSERT_NE(handle, kInvalidDeviceHandle);
    EXPECT_EQ(first.OpenedParentDeviceId(handle), u"USB\\VID_2175&PID_5001\\0000000012345678");
    first.Close(handle);  // between two commands of the first instance

    LinuxDevicePlatform second;
    second.ListDiskInterfaces();
    EXPECT_EQ(second.OpenExclusive(product.Path()), kInvalidDeviceHandle);
    EXPECT_EQ(second.LastOpenError().rfind("the product is in use by ", 0), 0u)
        << second.LastOpenError();
    EXPECT_NE(second.LastOpenError().find("(pid " + std::to_string(getpid()) + ")"),
              std::string::npos);
    EXPECT_EQ(product.SeenCount(), 0u);
}

}  // namespace
}  // namespace torvex::testing
