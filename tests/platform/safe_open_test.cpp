// The product on a real desk: a CD-ROM LUN beside it, a mounted file system, a second instance
// of the tool. Nothing may reach the wrong disk, and a refused open always says why.
#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "base/text.h"
#include "device/linux/linux_device_platform.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/scripted_disk.h"

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
    EXPECT_EQ(product.SeenCount(), 0u);
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
