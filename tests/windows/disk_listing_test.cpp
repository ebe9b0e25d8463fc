// The disk-interface listing over scripted SetupDi steps: its order, where each failure ends it,
// how the raw buffers are read, and what discovery makes of real-looking Windows identities.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/controller_state_update.h"
#include "base/text.h"
#include "device/usb_found.h"
#include "device/windows/disk_interface_listing.h"
#include "tests/support/core_fixture.h"

namespace torvex::windows {
namespace {

using namespace std::string_literals;

enum class Step { Detail, CompatibleIds, Parent, ParentId };

// One interface as the services would give it: UTF-16 path and ids, a multi-string of ids.
struct RawInterface {
    std::u16string path;
    std::u16string ids;  // the strings with their NULs, the list's final NUL included
    std::u16string parent_id;
    std::optional<Step> fails;
    std::u16string locations{};  // the parent's location paths, as ids are; empty: none
};

std::vector<std::uint8_t> Bytes(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

class ScriptedSteps : public DiskInterfaceSteps {
  public:
    bool OpenInterfaceSet() override {
        calls.push_back("open");
        return set_opens;
    }
    bool SelectInterface(std::uint32_t index) override {
        calls.push_back("select " + std::to_string(index));
        current = index;
        return index < interfaces.size();
    }
    bool ReadInterfaceDetail(std::span<std::uint8_t, kInterfaceDetailBytes> record) override {
        calls.push_back("detail");
        const auto bytes = Bytes(Now().path + u'\0');
        std::copy_n(bytes.begin(), std::min(bytes.size(), record.size() - kDetailPathOffset),
                    record.begin() + kDetailPathOffset);
        return Now().fails != Step::Detail;
    }
    bool ReadCompatibleIds(std::span<std::uint8_t, kCompatibleIdsBytes> buffer,
                           std::uint32_t& bytes) override {
        calls.push_back("ids");
        if (Now().fails == Step::CompatibleIds) return false;
        const auto raw = Bytes(Now().ids);
        std::copy_n(raw.begin(), std::min(raw.size(), buffer.size()), buffer.begin());
        bytes = static_cast<std::uint32_t>(raw.size());
        return true;
    }
    bool ReadParentInstance() override {
        calls.push_back("parent");
        return Now().fails != Step::Parent;
    }
    bool ReadParentDeviceId(std::span<char16_t, kParentDeviceIdUnits> buffer) override {
        calls.push_back("parent id");
        if (Now().fails == Step::ParentId) return false;
        std::copy_n(Now().parent_id.begin(), std::min(Now().parent_id.size(), buffer.size()),
                    buffer.begin());
        return true;
    }
    bool ReadParentLocationPaths(std::span<std::uint8_t, kLocationPathsBytes> buffer,
                                 std::uint32_t& bytes) override {
        if (Now().locations.empty()) return false;
        const auto raw = Bytes(Now().locations);
        std::copy_n(raw.begin(), std::min(raw.size(), buffer.size()), buffer.begin());
        bytes = static_cast<std::uint32_t>(raw.size());
        return true;
    }
    void CloseInterfaceSet() override { calls.push_back("close"); }

    const RawInterface& Now() const { return interfaces.at(current); }

    bool set_opens = true;
    std::vector<RawInterface> interfaces;
    std::vector<std::string> calls;
    std::uint32_t current = 0;
};

const std::u16string kUsbStorIds = u"USBSTOR\\Disk\0USBSTOR\\RAW\0GenDisk\0\0"s;
const std::u16string kOtaPath =
    u"\\\\?\\usbstor#disk&ven_torvex&prod_isp&rev_1.00#00000000ef320001&0#"
    u"{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

RawInterface Usb(std::u16string parent_id, std::u16string path = u"\\\\?\\usbstor#disk#1") {
    return {std::move(path), kUsbStorIds, std::move(parent_id), std::nullopt};
}

TEST(DiskListing, EachFailingStepEndsTheListingAfterTheInterfacesReadBeforeIt) {
    struct Case {
        std::optional<Step> third_fails;
        ListingFailure failure;
        std::size_t listed;
        std::vector<std::string> third_calls;
    };
    const std::vector<std::string> all = {"detail", "ids", "parent", "parent id"};
    for (const Case& c :
         {Case{std::nullopt, ListingFailure::None, 4, all},
          Case{Step::Detail, ListingFailure::None, 4, all},  // the detail's result decides nothing
          Case{Step::CompatibleIds, ListingFailure::CompatibleIds, 2, {"detail", "ids"}},
          Case{Step::Parent, ListingFailure::ParentInstance, 2, {"detail", "ids", "parent"}},
          Case{Step::ParentId, ListingFailure::ParentDeviceId, 2, all}}) {
        ScriptedSteps steps;
        steps.interfaces.assign(4, Usb(u"USB\\VID_2175&PID_5001\\1"));
        steps.interfaces[2].fails = c.third_fails;
        const DiskListing listing = ListDiskInterfaces(steps);
        EXPECT_EQ(listing.failure, c.failure);
        EXPECT_EQ(listing.disks.size(), c.listed);

        // Interface 2's calls, and nothing after them but the set's release.
        const auto third = std::find(steps.calls.begin(), steps.calls.end(), "select 2");
        ASSERT_NE(third, steps.calls.end());
        std::vector<std::string> rest(third + 1, steps.calls.end());
        std::vector<std::string> expected = c.third_calls;
        if (c.failure == ListingFailure::None) {
            expected.insert(expected.end(), {"select 3"});
            expected.insert(expected.end(), all.begin(), all.end());
            expected.push_back("select 4");
        }
        expected.push_back("close");
        EXPECT_EQ(rest, expected);
    }
}

TEST(DiskListing, SetThatCannotBeObtainedListsNothingAndReleasesNothing) {
    ScriptedSteps steps;
    steps.set_opens = false;
    steps.interfaces = {Usb(u"USB\\VID_2175&PID_5001\\1")};
    const DiskListing listing = ListDiskInterfaces(steps);
    EXPECT_EQ(listing.failure, ListingFailure::InterfaceSet);
    EXPECT_TRUE(listing.disks.empty());
    EXPECT_EQ(steps.calls, std::vector<std::string>{"open"});
}

TEST(DiskListing, EmptySetEndsAtTheFirstIndex) {
    ScriptedSteps steps;
    const DiskListing listing = ListDiskInterfaces(steps);
    EXPECT_EQ(listing.failure, ListingFailure::None);
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"open", "select 0", "close"}));
}

TEST(DiskListingBuffers, DetailPathIsBoundedByTheRecord) {
    std::vector<std::uint8_t> record(kInterfaceDetailBytes, 0);
    record[0] = 8;  // the size field is not part of the path
    const auto path = Bytes(u"\\\\?\\usbstor#x");
    std::copy(path.begin(), path.end(), record.begin() + kDetailPathOffset);
    EXPECT_EQ(DevicePathFromDetail(record, true), u"\\\\?\\usbstor#x");
    EXPECT_EQ(DevicePathFromDetail(record, false), u"") << "a refused detail gives no path";

    // No terminator anywhere: the path ends with the record (510 units), not after it.
    std::fill(record.begin() + kDetailPathOffset, record.end(), 0x41);
    EXPECT_EQ(DevicePathFromDetail(record, true), std::u16string(510, u'\x4141'));
}

TEST(DiskListingBuffers, CompatibleIdsKeepTheirSeparatorsWithinWhatWasReported) {
    const auto raw = Bytes(u"USBSTOR\\Disk\0USBSTOR\\RAW\0\0"s);
    EXPECT_EQ(CompatibleIdsFromProperty(raw, static_cast<std::uint32_t>(raw.size())),
              u"USBSTOR\\Disk\0USBSTOR\\RAW"s);
    // Fewer bytes reported than the buffer holds: only those are read; an odd byte is dropped.
    EXPECT_EQ(CompatibleIdsFromProperty(raw, 9), u"USBS");
    EXPECT_EQ(CompatibleIdsFromProperty(raw, 0), u"");
    // More reported than the buffer holds (the platform's required size): bounded by the buffer.
    std::vector<std::uint8_t> full = Bytes(std::u16string(260, u'A'));
    EXPECT_EQ(CompatibleIdsFromProperty(full, 4000), std::u16string(260, u'A'));
}

TEST(DiskListingBuffers, ThePortPathIsTheParentsFirstLocationPath) {
    ScriptedSteps steps;
    steps.interfaces = {Usb(u"USB\\VID_2175&PID_5001\\1"), Usb(u"USB\\VID_2175&PID_5001\\2")};
    steps.interfaces[0].locations =
        u"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)\0ACPI(_SB_)#ACPI(PCI0)#ACPI(HS02)\0\0"s;
    const DiskListing listing = ListDiskInterfaces(steps);
    ASSERT_EQ(listing.disks.size(), 2u);
    EXPECT_EQ(listing.disks[0].port_path, u"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)");
    EXPECT_EQ(listing.disks[1].port_path, u"") << "without location paths it is still listed";
}

TEST(DiskListingBuffers, DeviceIdEndsAtItsTerminatorOrTheBuffer) {
    std::vector<char16_t> buffer(kParentDeviceIdUnits, u'\0');
    const std::u16string id = u"USB\\VID_0A81&PID_0321\\5&2B4E";
    std::copy(id.begin(), id.end(), buffer.begin());
    EXPECT_EQ(DeviceIdFromBuffer(buffer), id);
    std::fill(buffer.begin(), buffer.end(), u'7');
    EXPECT_EQ(DeviceIdFromBuffer(buffer).size(), kParentDeviceIdUnits);
}

// Discovery over what the Windows listing yields for a row of real-looking disks.
TEST(DiskListingDiscovery, WindowsIdentitiesThroughUsbFound) {
    ScriptedSteps steps;
    steps.interfaces = {
        {u"\\\\?\\scsi#disk&ven_nvme#4&1#{53f56307}", u"SCSI\\Disk\0SCSI\\RAW\0\0"s,
         u"PCI\\VEN_144D&DEV_A808&SUBSYS_A801144D&REV_00\\4&1", std::nullopt},
        Usb(u"USB\\VID_0a81&PID_0321\\5&2B4E"),  // lower-case digits read as 0
        Usb(u"USB\\VID_0A81&PID_0322\\ISP0001"),
        Usb(u"USB\\VID_2175&PID_5001\\00000000EF320001", kOtaPath),
    };
    testing::CoreFixture tool;
    tool.platform.listing = ListDiskInterfaces(steps);
    ASSERT_EQ(tool.platform.listing.disks.size(), 4u);

    EXPECT_EQ(USBFound(tool.context), kRunModeAppOrOta);
    EXPECT_EQ(
        tool.window.Utf8Lines(),
        (std::vector<std::string>{
            "VID:0081 PID:0321", "SN:5&2B4E", "VID:0A81 PID:0322", "SN:ISP0001",
            "VID:2175 PID:5001", "SN:00000000EF320001", "Open U-KDISK USB device Passed.",
            "Run Code at Application/OTA Code", "Run Code at OTA Code", "USB device found!"}));
    EXPECT_EQ(tool.state.DevicePath, kOtaPath);
    EXPECT_EQ(tool.state.DeviceVid, kVendorAppAndOta);
    EXPECT_EQ(tool.platform.opened_paths, std::vector<std::u16string>{kOtaPath});
}

TEST(DiskListingDiscovery, FailureAfterTheProductStillReportsIt) {
    ScriptedSteps steps;
    steps.interfaces = {Usb(u"USB\\VID_0A81&PID_0321\\ISP0001"),
                        Usb(u"USB\\VID_2175&PID_5001\\APP0001")};
    steps.interfaces[1].fails = Step::Parent;
    testing::CoreFixture tool;
    tool.platform.listing = ListDiskInterfaces(steps);
    EXPECT_EQ(USBFound(tool.context), kRunModeProtectIsp);
    const auto lines = tool.window.Utf8Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "USBFound get parent ID error");
    EXPECT_EQ(lines.back(), "USB device found!");
}

}  // namespace
}  // namespace torvex::windows
