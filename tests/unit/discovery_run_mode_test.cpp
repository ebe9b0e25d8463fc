// Discovery: which code the product runs, what the operator reads, what the state holds after.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/controller_state_update.h"
#include "device/usb_found.h"
#include "tests/support/case_printing.h"
#include "tests/support/core_fixture.h"
#include "tests/support/scripted_platform.h"

namespace torvex {
namespace {

using testing::PrintTo;

using Lines = std::vector<std::string>;

DiskInterface Disk(std::u16string parent_id, std::u16string path,
                   std::u16string compatible_ids = std::u16string(u"USBSTOR\\Disk\0USBSTOR\\RAW",
                                                                  24)) {
    return {std::move(compatible_ids), std::move(parent_id), std::move(path)};
}

struct Discovery : ::testing::Test {
    testing::CoreFixture tool;
    ControllerState& state = tool.state;

    void SetUp() override {
        // Leftovers of an earlier product, which discovery must reset or keep as it does.
        state.DeviceVid = 0x2175;
        state.AppCodeRunning = 1;
        state.DeviceFound = 1;
        state.MaskPollTicks = 3;
        state.DutNameMatch = 1;
        state.FirmwareGroup = ImageGroup::Group2;
        state.DevicePath = u"/dev/old";
    }
    std::uint16_t Run() { return USBFound(tool.context); }
};

TEST_F(Discovery, ApplicationCodeProductFullLog) {
    tool.platform.listing.disks = {Disk(u"USB\\VID_2175&PID_5001\\0123456789AB", u"/dev/sdb")};
    EXPECT_EQ(Run(), kRunModeAppOrOta);
    EXPECT_EQ(tool.window.Utf8Lines(),
              (Lines{"VID:2175 PID:5001", "SN:0123456789AB", "Open U-KDISK USB device Passed.",
                     "Run Code at Application/OTA Code", "Run Code at Application Code",
                     "USB device found!"}));
    EXPECT_EQ(state.DeviceVid, 0x2175);
    EXPECT_EQ(state.AppCodeRunning, 1u);
    EXPECT_EQ(state.DeviceFound, 1u);
    EXPECT_EQ(state.MaskPollTicks, 0);
    EXPECT_EQ(state.DutNameMatch, 0);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Unchecked);
    EXPECT_EQ(state.DevicePath, u"/dev/sdb");
    EXPECT_EQ(tool.platform.opened_paths, std::vector<std::u16string>{u"/dev/sdb"});
    EXPECT_EQ(tool.platform.open_handles, 0);
    EXPECT_TRUE(tool.platform.requests.empty());  // discovery only opens, it never talks
}

struct RunModeCase {
    const char* what;
    std::u16string parent_id;
    std::uint16_t run_mode;
    std::uint16_t vid;
    std::uint32_t device_found;
    std::uint32_t app_code_running;
    Lines code_lines;  // after "Open U-KDISK USB device Passed."
    const char* last_line;
};

class DiscoveryRunMode : public Discovery, public ::testing::WithParamInterface<RunModeCase> {};

TEST_P(DiscoveryRunMode, ReportsTheRunningCode) {
    const RunModeCase& c = GetParam();
    SCOPED_TRACE(c.what);
    tool.platform.listing.disks = {Disk(c.parent_id, u"/dev/sdc")};
    EXPECT_EQ(Run(), c.run_mode);
    EXPECT_EQ(state.DeviceVid, c.vid);
    EXPECT_EQ(state.DeviceFound, c.device_found);
    EXPECT_EQ(state.AppCodeRunning, c.app_code_running);
    Lines lines = tool.window.Utf8Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Open U-KDISK USB device Passed.");
    Lines expected = c.code_lines;
    expected.push_back(c.last_line);
    EXPECT_EQ(Lines(lines.begin() + 3, lines.end()), expected);
}

const char* kAppOrOta = "Run Code at Application/OTA Code";
const char* kApplication = "Run Code at Application Code";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DiscoveryRunMode, ::testing::Values(
    RunModeCase{"mask code", u"USB\\VID_0A81&PID_0320\\MASK", kRunModeMaskCode, 0x0A81, 0, 0,
                {"Run Code at Mask Code"}, "USB device not found!"},
    RunModeCase{"protected ISP", u"USB\\VID_0A81&PID_0321\\ISP", kRunModeProtectIsp, 0x0A81, 1, 0,
                {"Run Code at Protect_Code"}, "USB device found!"},
    RunModeCase{"OTA", u"USB\\VID_2175&PID_5001\\00000000EF32", kRunModeAppOrOta, 0x2175, 1, 0,
                {kAppOrOta, "Run Code at OTA Code"}, "USB device found!"},
    RunModeCase{"longer OTA serial", u"USB\\VID_2175&PID_5001\\00000000EF32A7", kRunModeAppOrOta,
                0x2175, 1, 0, {kAppOrOta, "Run Code at OTA Code"}, "USB device found!"},
    RunModeCase{"OTA prefix in lower case", u"USB\\VID_2175&PID_5001\\00000000ef32",
                kRunModeAppOrOta, 0x2175, 1, 1, {kAppOrOta, kApplication}, "USB device found!"},
    RunModeCase{"serial one short of the OTA prefix", u"USB\\VID_2175&PID_5001\\00000000EF3",
                kRunModeAppOrOta, 0x2175, 1, 1, {kAppOrOta, kApplication}, "USB device found!"}));
// clang-format on

struct NotOpenedCase {
    const char* what;
    DiskInterface disk;
    Lines lines;
};

class DiscoveryNotOpened : public Discovery, public ::testing::WithParamInterface<NotOpenedCase> {};

TEST_P(DiscoveryNotOpened, LogsWhatItSawAndOpensNothing) {
    SCOPED_TRACE(GetParam().what);
    tool.platform.listing.disks = {GetParam().disk};
    EXPECT_EQ(Run(), kRunModeNoDevice);
    EXPECT_EQ(tool.window.Utf8Lines(), GetParam().lines);
    EXPECT_TRUE(tool.platform.opened_paths.empty());
    EXPECT_EQ(state.DevicePath, u"/dev/old");
    EXPECT_EQ(state.DeviceVid, 0);
    EXPECT_EQ(state.DeviceFound, 0u);
    EXPECT_EQ(state.DutNameMatch, 1);  // reset only when a product is opened
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DiscoveryNotOpened, ::testing::Values(
    NotOpenedCase{"lower-case hexadecimal reads as zero",
                  Disk(u"USB\\VID_0a81&PID_0320\\S1", u"/dev/sdd"),
                  {"VID:0081 PID:0320", "SN:S1", "USB device not found!"}},
    NotOpenedCase{"product id not accepted", Disk(u"USB\\VID_0A81&PID_0322\\S2", u"/dev/sdd"),
                  {"VID:0A81 PID:0322", "SN:S2", "USB device not found!"}},
    NotOpenedCase{"not a USB storage disk",
                  Disk(u"USB\\VID_2175&PID_5001\\S3", u"/dev/sda", u"SCSI\\Disk"),
                  {"USB device not found!"}},
    NotOpenedCase{"compatible id shorter than the pattern",
                  Disk(u"USB\\VID_2175&PID_5001\\S5", u"/dev/sda", u"USBSTOR\\Dis"),
                  {"USB device not found!"}}));
// clang-format on

TEST_F(Discovery, TwoProductsBothReportedTheLastOneWins) {
    tool.platform.listing.disks = {Disk(u"USB\\VID_0A81&PID_0321\\A", u"/dev/sdb"),
                                   Disk(u"USB\\VID_0A81&PID_0320\\B", u"/dev/sdc")};
    EXPECT_EQ(Run(), kRunModeMaskCode);
    EXPECT_EQ(
        tool.window.Utf8Lines(),
        (Lines{"VID:0A81 PID:0321", "SN:A", "Open U-KDISK USB device Passed.",
               "Run Code at Protect_Code", "VID:0A81 PID:0320", "SN:B",
               "Open U-KDISK USB device Passed.", "Run Code at Mask Code", "USB device found!"}));
    EXPECT_EQ(state.DevicePath, u"/dev/sdc");
    EXPECT_EQ(state.DeviceVid, 0x0A81);
    EXPECT_EQ(state.DeviceFound, 1u);  // the first one counts as found
    EXPECT_EQ(tool.platform.opened_paths, (std::vector<std::u16string>{u"/dev/sdb", u"/dev/sdc"}));
    EXPECT_EQ(tool.platform.open_handles, 0);
}

TEST_F(Discovery, FailedOpenSaysWhyAndLeavesDevicePathAlone) {
    tool.platform.listing.disks = {Disk(u"USB\\VID_2175&PID_5001\\HELD", u"/dev/sde")};
    tool.platform.failing_paths = {u"/dev/sde"};
    tool.platform.open_error =
        "Device or resource busy (errno 16): /dev/sde1 is mounted on /m\x1b[2J";
    EXPECT_EQ(Run(), kRunModeNoDevice);
    EXPECT_EQ(tool.window.Utf8Lines(),
              (Lines{"VID:2175 PID:5001", "SN:HELD", "Open U-KDISK USB device failed.",
                     "Reason: Device or resource busy (errno 16): /dev/sde1 is mounted on "
                     "/m\xEF\xBF\xBD[2J",
                     "USB device not found!"}));
    EXPECT_EQ(state.DevicePath, u"/dev/old");
    EXPECT_EQ(state.DeviceVid, 0);
    EXPECT_EQ(state.DutNameMatch, 1);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Group2);
}

// Two products, the last one busy: the path, the run mode, the vendor and the identity are all
// the first one's, so nothing meant for the one can reach the other.
TEST_F(Discovery, FailedOpenAfterAnOpenedProductKeepsEverythingOfTheFirst) {
    tool.platform.listing.disks = {Disk(u"USB\\VID_0A81&PID_0321\\A", u"/dev/sdb"),
                                   Disk(u"USB\\VID_2175&PID_5001\\B", u"/dev/sdc")};
    tool.platform.failing_paths = {u"/dev/sdc"};
    EXPECT_EQ(Run(), kRunModeProtectIsp);
    EXPECT_EQ(state.DeviceVid, 0x0A81);
    EXPECT_EQ(state.DevicePath, u"/dev/sdb");
    EXPECT_EQ(state.ProductIdentity, u"USB\\VID_0A81&PID_0321\\A");
    EXPECT_EQ(tool.window.Utf8Lines().back(), "USB device found!");
}

TEST_F(Discovery, NoDiskAtAll) {
    EXPECT_EQ(Run(), kRunModeNoDevice);
    EXPECT_EQ(tool.window.Utf8Lines(), Lines{"USB device not found!"});
    EXPECT_EQ(state.DeviceFound, 0u);
    EXPECT_EQ(state.AppCodeRunning, 0u);
    EXPECT_EQ(state.MaskPollTicks, 0);
}

TEST_F(Discovery, InterfaceSetFailureReturnsAtOnceKeepingTheFlags) {
    tool.platform.listing.failure = ListingFailure::InterfaceSet;
    tool.platform.listing.disks = {Disk(u"USB\\VID_2175&PID_5001\\X", u"/dev/sdb")};
    EXPECT_EQ(Run(), kRunModeNoDevice);
    EXPECT_EQ(tool.window.Utf8Lines(), Lines{"USBFound handle error"});
    EXPECT_EQ(state.DeviceVid, 0);  // reset before the set is asked for
    EXPECT_EQ(state.DeviceFound, 1u);
    EXPECT_EQ(state.AppCodeRunning, 1u);
    EXPECT_EQ(state.MaskPollTicks, 3);
    EXPECT_TRUE(tool.platform.opened_paths.empty());
}

struct ListingFailureCase {
    ListingFailure failure;
    const char* line;
};

void PrintTo(const ListingFailureCase& c, std::ostream* os) {
    *os << c.line;
}

class DiscoveryListingFailure : public Discovery,
                                public ::testing::WithParamInterface<ListingFailureCase> {};

TEST_P(DiscoveryListingFailure, EndsAfterTheListedDisksWithItsLine) {
    tool.platform.listing.disks = {Disk(u"USB\\VID_2175&PID_5001\\00000000EF32", u"/dev/sdb")};
    tool.platform.listing.failure = GetParam().failure;
    EXPECT_EQ(Run(), kRunModeAppOrOta);
    EXPECT_EQ(tool.window.Utf8Lines(),
              (Lines{"VID:2175 PID:5001", "SN:00000000EF32", "Open U-KDISK USB device Passed.",
                     "Run Code at Application/OTA Code", "Run Code at OTA Code", GetParam().line,
                     "USB device found!"}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DiscoveryListingFailure, ::testing::Values(
    ListingFailureCase{ListingFailure::CompatibleIds, "USBFound get registry property error"},
    ListingFailureCase{ListingFailure::ParentInstance, "USBFound get parent ID error"},
    ListingFailureCase{ListingFailure::ParentDeviceId, "USBFound get device id error"}));
// clang-format on

}  // namespace
}  // namespace torvex
