// The virtual PC's disks: listing, exclusive open and handle accounting, and disks that are not
// the product.
#include <gtest/gtest.h>

#include "simulator/product_presets.h"
#include "tests/sim/hand_procedures.h"

namespace torvex::sim {
namespace {

using namespace testing;

TEST(VirtualPlatform, ListsEveryPresentDiskInAttachOrderWithItsIdentity) {
    VirtualPlatform platform;
    platform.AddPlainDisk(PlainDisk::NonUsb());
    platform.AddProduct(PresetConfig(ProductPreset::Mask0210));
    platform.AddPlainDisk(PlainDisk::Usb(0x0A81, 0x0322, "OTHER1"));
    platform.AddProduct(PresetConfig(ProductPreset::Ota), false);
    platform.AddProduct(PresetConfig(ProductPreset::ProtectIsp));

    const DiskListing listing = platform.ListDiskInterfaces();
    EXPECT_EQ(listing.failure, ListingFailure::None);
    ASSERT_EQ(listing.disks.size(), 4u);
    EXPECT_NE(listing.disks[0].compatible_ids.rfind(u"USBSTOR\\Disk", 0), 0u);
    EXPECT_EQ(listing.disks[1].compatible_ids.substr(0, 12), u"USBSTOR\\Disk");
    EXPECT_EQ(listing.disks[1].parent_device_id, u"USB\\VID_0A81&PID_0320\\0A81MASK0001");
    EXPECT_EQ(listing.disks[2].parent_device_id, u"USB\\VID_0A81&PID_0322\\OTHER1");
    EXPECT_EQ(listing.disks[3].parent_device_id, u"USB\\VID_0A81&PID_0321\\0A81ISP00001");
    EXPECT_EQ(listing.disks[3].path, platform.PathOf(4));
}

TEST(VirtualPlatform, ListingFailsAtTheRequestedInterface) {
    VirtualPlatform platform;
    platform.AddPlainDisk(PlainDisk::NonUsb());
    platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
    platform.FailListing(ListingFailure::ParentInstance, 1);
    platform.FailListing(ListingFailure::InterfaceSet);

    DiskListing listing = platform.ListDiskInterfaces();
    EXPECT_EQ(listing.failure, ListingFailure::ParentInstance);
    EXPECT_EQ(listing.disks.size(), 1u);
    listing = platform.ListDiskInterfaces();
    EXPECT_EQ(listing.failure, ListingFailure::InterfaceSet);
    EXPECT_TRUE(listing.disks.empty());
    EXPECT_EQ(platform.ListDiskInterfaces().disks.size(), 2u);  // both faults used up
}

TEST(VirtualPlatform, OpenIsExclusiveAndEveryHandleIsCounted) {
    VirtualPlatform platform;
    platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
    const DeviceHandle first = OpenDisk(platform, 0);
    ASSERT_NE(first, kInvalidDeviceHandle);
    EXPECT_EQ(OpenDisk(platform, 0), kInvalidDeviceHandle);
    platform.Close(first);
    platform.Close(first);                 // twice
    platform.Close(kInvalidDeviceHandle);  // nothing
    const DeviceHandle second = OpenDisk(platform, 0);
    EXPECT_NE(second, kInvalidDeviceHandle);
    platform.Close(second);

    platform.SetHeldByOtherProgram(0, true);
    EXPECT_EQ(OpenDisk(platform, 0), kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenExclusive(u"virtual://disk9/1"), kInvalidDeviceHandle);

    EXPECT_EQ(platform.OpenCount(), 2u);
    EXPECT_EQ(platform.CloseCount(), 2u);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
    EXPECT_EQ(platform.FailedOpenCount(), 3u);
    EXPECT_EQ(platform.BadCloseCount(), 1u);
}

TEST(VirtualPlatform, RequestsOnDeadHandlesFailWithoutReachingAnyProduct) {
    VirtualPlatform platform;
    VirtualProduct& product = platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
    const DeviceHandle handle = OpenDisk(platform, 0);
    platform.Unplug(0);
    std::uint8_t reply[64];
    EXPECT_EQ(Wire(platform, handle).In(kGetFwInfo, 64, reply).error, TransportError::NoDevice);
    platform.Plug(0);
    // Back, but the handle belongs to the earlier arrival.
    EXPECT_EQ(Wire(platform, handle).In(kGetFwInfo, 64, reply).error, TransportError::NoDevice);
    platform.Close(handle);
    EXPECT_EQ(Wire(platform, handle).In(kGetFwInfo, 64, reply).error,
              TransportError::InvalidHandle);
    EXPECT_EQ(product.RequestCount(), 0u);
}

TEST(VirtualPlatform, CommandToADiskThatIsNotTheProductIsAViolation) {
    VirtualPlatform platform;
    const DiskIndex stick = platform.AddPlainDisk(PlainDisk::Usb(0x2175, 0x5002, "X"));
    const DeviceHandle handle = OpenDisk(platform, stick);
    std::uint8_t reply[64];
    const auto result = Wire(platform, handle).In(kGetFwInfo, 64, reply);
    EXPECT_EQ(result.scsi_status, kScsiStatusCheckCondition);
    ASSERT_EQ(platform.Violations().size(), 1u);
    EXPECT_EQ(platform.Violations()[0].disk, stick);
    EXPECT_FALSE(platform.Trace().back().accepted);
}

TEST(VirtualPlatform, TwoProductsAnswerEachFromItsOwnState) {
    VirtualPlatform platform;
    platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
    platform.AddProduct(PresetConfig(ProductPreset::ApplicationCurrent));
    const DeviceHandle a = OpenDisk(platform, 0);
    const DeviceHandle b = OpenDisk(platform, 1);
    EXPECT_EQ(ReadInfo(platform, a, kGetFwInfo), Bytes(OldEf64Identity()));
    EXPECT_EQ(ReadInfo(platform, b, kGetFwInfo), Bytes(SampleEf64Identity(1)));
    EXPECT_EQ(platform.Trace().back().disk, 1u);
}

TEST(VirtualPlatform, ResetProductTakesAnotherStateWhileAttached) {
    VirtualPlatform platform;
    VirtualProduct& product = platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
    EXPECT_EQ(Summary(product),
              "Application; EF64 1.2.3.4 100.1.0.0 'F_TORVEX_APP_V100100' valid; "
              "EF32_0 7.8.9.10 50.1.0.0 'F_TORVEX_OTA_V50100' valid");
    platform.Unplug(0);
    product.Reset(PresetConfig(ProductPreset::Mask0110));
    platform.Plug(0);
    EXPECT_EQ(Summary(product), "Mask0110; EF64 erased; EF32_0 erased");
    EXPECT_EQ(platform.ListDiskInterfaces().disks.at(0).parent_device_id,
              u"USB\\VID_0A81&PID_0320\\0A81MASK0001");
}

}  // namespace
}  // namespace torvex::sim
