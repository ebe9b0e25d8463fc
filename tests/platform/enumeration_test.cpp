// Listing: which disks the back end reports, with which ids, in which order, and where a listing
// stops when sysfs cannot say what a disk is.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <algorithm>

#include "app/text.h"
#include "device/linux/linux_device_platform.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/scripted_disk.h"

namespace torvex::testing {
namespace {

using linux_backend::LinuxDevicePlatform;

std::string Utf8(const std::u16string& text) { return ToUtf8(text); }

const DiskInterface* Find(const DiskListing& listing, const std::u16string& path) {
    const auto found = std::find_if(listing.disks.begin(), listing.disks.end(),
                                    [&](const DiskInterface& disk) { return disk.path == path; });
    return found == listing.disks.end() ? nullptr : &*found;
}

struct EnumerationTest : ::testing::Test {
    MockSystem system;
    ScriptedDisk backing;
};

TEST_F(EnumerationTest, ProductAmongAPlainDiskAndAnotherVendorsStick) {
    const std::string plain = system.AddPlainDisk();
    FakeUsbDisk stick(system, UsbIdentity{"0781", "5567", "4C530001"}, backing);
    FakeUsbDisk product(system, ApplicationIdentity(), backing);

    LinuxDevicePlatform platform;
    const DiskListing listing = platform.ListDiskInterfaces();
    EXPECT_EQ(listing.failure, ListingFailure::None);
    ASSERT_EQ(listing.disks.size(), 3u);

    const DiskInterface* plain_disk = Find(listing, Widen(plain));
    ASSERT_NE(plain_disk, nullptr);
    EXPECT_EQ(Utf8(plain_disk->compatible_ids), "GenDisk");

    const DiskInterface* other = Find(listing, stick.Path());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(Utf8(other->compatible_ids), "USBSTOR\\Disk");
    EXPECT_EQ(Utf8(other->parent_device_id), "USB\\VID_0781&PID_5567\\4C530001");

    const DiskInterface* found = Find(listing, product.Path());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(Utf8(found->compatible_ids), "USBSTOR\\Disk");
    EXPECT_EQ(Utf8(found->parent_device_id), "USB\\VID_2175&PID_5001\\0000000012345678");
    EXPECT_EQ(Utf8(found->path), product.DevNode());
}

}  // namespace
}  // namespace torvex::testing
