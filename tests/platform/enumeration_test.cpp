// Listing: which disks the back end reports, with which ids, in which order, and where a listing
// stops when sysfs cannot say what a disk is.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <algorithm>
#include <optional>

#include "base/text.h"
#include "device/linux/disk_enumerator.h"
#include "device/linux/linux_device_platform.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/scripted_disk.h"

namespace torvex::testing {
namespace {

using linux_backend::LinuxDevicePlatform;

std::string Utf8(const std::u16string& text) {
    return ToUtf8(text);
}

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

// A disk that left between the scan and its reading is passed by: the product listed after it is
// still found.
TEST_F(EnumerationTest, ADiskThatVanishedMidScanDoesNotEndTheListing) {
    std::optional<FakeUsbDisk> leaving(std::in_place, system, ProtectIspIdentity(), backing);
    FakeUsbDisk product(system, ApplicationIdentity(), backing);
    const std::vector<std::string> scanned = {leaving->SysPath(), product.SysPath()};
    leaving.reset();

    linux_backend::UdevPtr context(udev_new());
    const linux_backend::DiskInventory inventory = linux_backend::ReadDisks(context.get(), scanned);
    EXPECT_EQ(inventory.failure, ListingFailure::None);
    ASSERT_EQ(inventory.disks.size(), 1u);
    EXPECT_EQ(inventory.disks[0].devnode, product.DevNode());
}

TEST_F(EnumerationTest, ListingIsStableAcrossCalls) {
    FakeUsbDisk first(system, ProtectIspIdentity(), backing);
    system.AddPlainDisk();
    FakeUsbDisk second(system, OtaIdentity(), backing);
    LinuxDevicePlatform platform;
    const DiskListing once = platform.ListDiskInterfaces();
    const DiskListing again = platform.ListDiskInterfaces();
    ASSERT_EQ(once.disks.size(), 3u);
    ASSERT_EQ(again.disks.size(), 3u);
    for (std::size_t i = 0; i < once.disks.size(); ++i)
        EXPECT_EQ(once.disks[i].path, again.disks[i].path);
    // USB disks in port order: first before second.
    EXPECT_EQ(once.disks[0].path, first.Path());
    EXPECT_EQ(once.disks[1].path, second.Path());
}

// Each mode of the product, as the kernel writes its attributes (lower-case hex).
struct ModeCase {
    const char* name;
    UsbIdentity identity;
    const char* parent_id;
};

void PrintTo(const ModeCase& mode, std::ostream* out) {
    *out << mode.name;
}

class ModeIdentityTest : public EnumerationTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeIdentityTest, ParentIdCarriesTheModesIdentityInUpperCase) {
    FakeUsbDisk product(system, GetParam().identity, backing);
    LinuxDevicePlatform platform;
    const DiskListing listing = platform.ListDiskInterfaces();
    ASSERT_EQ(listing.disks.size(), 1u);
    EXPECT_EQ(Utf8(listing.disks[0].compatible_ids), "USBSTOR\\Disk");
    EXPECT_EQ(Utf8(listing.disks[0].parent_device_id), GetParam().parent_id);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeIdentityTest,
    ::testing::Values(
        ModeCase{"MaskCode", MaskCodeIdentity(), "USB\\VID_0A81&PID_0320\\000000000001"},
        ModeCase{"ProtectIsp", ProtectIspIdentity(), "USB\\VID_0A81&PID_0321\\000000000002"},
        ModeCase{"Application", ApplicationIdentity(), "USB\\VID_2175&PID_5001\\0000000012345678"},
        ModeCase{"Ota", OtaIdentity(), "USB\\VID_2175&PID_5001\\00000000EF320001"},
        ModeCase{
            "LowerCaseSerialKept", {"0a81", "0321", "abcdef"}, "USB\\VID_0A81&PID_0321\\abcdef"},
        ModeCase{"MixedCaseHex", {"0A8f", "aBcD", "1"}, "USB\\VID_0A8F&PID_ABCD\\1"}),
    [](const auto& test) { return std::string(test.param.name); });

// Attributes a device may well report, and what the listing makes of them.
struct OddCase {
    const char* name;
    FakeUsbDiskOptions options;
    std::u16string compatible_ids;
    std::u16string parent_id;
};

FakeUsbDiskOptions With(UsbIdentity identity, std::optional<std::string> interface_class = "08",
                        std::string driver = "usb-storage") {
    FakeUsbDiskOptions options;
    options.identity = std::move(identity);
    options.interface_class = std::move(interface_class);
    options.driver = std::move(driver);
    return options;
}

void PrintTo(const OddCase& odd, std::ostream* out) {
    *out << odd.name;
}

class OddAttributeTest : public EnumerationTest, public ::testing::WithParamInterface<OddCase> {};

TEST_P(OddAttributeTest, IsListedSafely) {
    FakeUsbDisk disk(system, GetParam().options, backing);
    LinuxDevicePlatform platform;
    const DiskListing listing = platform.ListDiskInterfaces();
    EXPECT_EQ(listing.failure, ListingFailure::None);
    ASSERT_EQ(listing.disks.size(), 1u);
    EXPECT_EQ(listing.disks[0].compatible_ids, GetParam().compatible_ids);
    EXPECT_EQ(listing.disks[0].parent_device_id, GetParam().parent_id);
    EXPECT_EQ(listing.disks[0].path, disk.Path());
}

const std::u16string kUsbStor = u"USBSTOR\\Disk";

INSTANTIATE_TEST_SUITE_P(
    Attributes, OddAttributeTest,
    ::testing::Values(
        OddCase{"NoSerial", With({"0a81", "0321", std::nullopt}), kUsbStor,
                u"USB\\VID_0A81&PID_0321\\"},
        // Bytes are widened one to one, whatever their encoding.
        OddCase{"NonAsciiSerial", With({"2175", "5001", "\xC3\xA9\x01Z"}), kUsbStor,
                u"USB\\VID_2175&PID_5001\\\u00C3\u00A9\u0001Z"},
        OddCase{"OverlongSerialCut", With({"2175", "5001", std::string(600, 'S')}), kUsbStor,
                u"USB\\VID_2175&PID_5001\\" + std::u16string(297, u'S')},
        OddCase{"NonHexVendorIsNoIdentity", With({"0a8g", "0321", "1"}), u"GenDisk", u""},
        OddCase{"FiveDigitProductIsNoIdentity", With({"0a81", "03210", "1"}), u"GenDisk", u""},
        OddCase{"EmptyVendorIsNoIdentity", With({" ", "0321", "1"}), u"GenDisk", u""},
        OddCase{"UasDriver", With({"0a81", "0321", "1"}, "08", "uas"), kUsbStor,
                u"USB\\VID_0A81&PID_0321\\1"},
        OddCase{"NotMassStorageClass", With({"0a81", "0321", "1"}, "03"), u"GenDisk", u""},
        OddCase{"UnboundInterface", With({"0a81", "0321", "1"}, "08", ""), u"GenDisk", u""},
        OddCase{"OtherDriver", With({"0a81", "0321", "1"}, "08", "usbhid"), u"GenDisk", u""}),
    [](const auto& test) { return std::string(test.param.name); });

// Where sysfs cannot say what a disk is, the listing stops there: disks before it are listed,
// disks after it are not.
struct FailureCase {
    const char* name;
    FakeUsbDiskOptions options;
    ListingFailure failure;
};

FakeUsbDiskOptions Orphan() {
    FakeUsbDiskOptions options;
    options.under_usb_device = false;
    return options;
}

void PrintTo(const FailureCase& failure, std::ostream* out) {
    *out << failure.name;
}

class ListingFailureTest : public EnumerationTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ListingFailureTest, StopsAtTheUnreadableDisk) {
    FakeUsbDisk before(system, ProtectIspIdentity(), backing);
    FakeUsbDisk unreadable(system, GetParam().options, backing);
    FakeUsbDisk after(system, OtaIdentity(), backing);
    LinuxDevicePlatform platform;
    const DiskListing listing = platform.ListDiskInterfaces();
    EXPECT_EQ(listing.failure, GetParam().failure);
    ASSERT_EQ(listing.disks.size(), 1u);
    EXPECT_EQ(listing.disks[0].path, before.Path());
    // A disk not in the listing is never opened.
    EXPECT_EQ(platform.OpenExclusive(after.Path()), kInvalidDeviceHandle);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ListingFailureTest,
    ::testing::Values(
        FailureCase{"InterfaceClassUnreadable", With({"0a81", "0321", "1"}, std::nullopt),
                    ListingFailure::CompatibleIds},
        FailureCase{"NoUsbDeviceAboveInterface", Orphan(), ListingFailure::ParentInstance},
        FailureCase{"VendorIdUnreadable", With({"", "0321", "1"}), ListingFailure::ParentDeviceId},
        FailureCase{"ProductIdUnreadable", With({"0a81", "", "1"}),
                    ListingFailure::ParentDeviceId}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace torvex::testing
