// EF64 check: a product in application code, the carried EF64 image, the class, the product line
// and the group.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/controller_state_update.h"
#include "firmware/ef64_version_check.h"
#include "tests/support/case_printing.h"
#include "tests/support/core_fixture.h"
#include "tests/support/scripted_platform.h"

namespace torvex {
namespace {

using testing::PrintTo;

using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;
using testing::InfoBlockBytes;
using testing::ScriptedPlatform;
using Version = std::array<std::uint8_t, 4>;

const PassThroughResult kOk = ScriptedPlatform::Delivered();
const PassThroughResult kFail = ScriptedPlatform::Failed();
const char* kTransportFail = "SendSCSICommand FAIL : >0x0<";
const char* kBanner = "Check_Application_Version_Combine -----------------------------------------";

// The carried image is 100.2.0.5: number 100205.
const Bytes kImage = InfoBlockBytes({7, 8, 9, 10}, {100, 2, 0, 5}, "F_TORVEX_IMAGE");

struct Ef64Check : ::testing::Test {
    testing::CoreFixture tool;
    ControllerState& state = tool.state;

    void SetUp() override {
        state.DevicePath = u"/dev/sdb";
        state.DeviceFound = 1;
        state.AppCodeRunning = 1;
        state.DeviceVid = kVendorAppAndOta;
        state.FirmwareAccepted = 1;
        state.AutoRestart = 2;
    }
    Lines Run(Bytes image, Bytes device) {
        tool.platform.replies = {std::move(image), std::move(device)};
        Check_Application_Version_Combine(tool.context);
        EXPECT_EQ(tool.platform.open_handles, 0);
        EXPECT_EQ(state.AutoRestart, 0);
        return tool.window.Utf8Lines();
    }
    // The lines after the two version-number lines.
    Lines Verdict(const Lines& lines) {
        return lines.size() > 9 ? Lines(lines.begin() + 9, lines.end()) : Lines{};
    }
};

TEST_F(Ef64Check, OlderFirstProductLineFullLogAndWire) {
    const Lines lines = Run(kImage, InfoBlockBytes({7, 8, 9, 10}, {100, 1, 9, 9}, "F_TORVEX_APP"));
    EXPECT_EQ(lines, (Lines{kBanner, "BINX File FW, Tag: 7.8.9.10,  Version: 100.2.0.5 ",
                            "BINX File FW Name: F_TORVEX_IMAGE", "\r",
                            "Device EF64 FW, Tag: 7.8.9.10,  Version: 100.1.9.9 ",
                            "Device EF64 FW Name: F_TORVEX_APP", "\r",
                            "BinX File FW Version:   100205", "Device EF64 FW Version: 100199",
                            "Device EF64 FW Version is  'Old'", "Compare_DUT_FW_Name PASS",
                            "Changed Get Device EF64 FW Version is  'Old'(Torvex)",
                            "Compare FW Version ", "FW_Group_1 "}));
    EXPECT_EQ(state.Ef64VersionClass, Ef64Class::Old);
    EXPECT_EQ(state.DutNameMatch, 1);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Group1);

    const auto& requests = tool.platform.requests;
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].cdb, testing::CommandBytes({0x62, 0x07}));
    EXPECT_EQ(requests[0].length, 0u);
    EXPECT_EQ(requests[1].cdb, testing::CommandBytes({0xA0, 0x06}));
    EXPECT_EQ(requests[1].direction, DataDirection::Out);
    EXPECT_EQ(requests[1].length, 2048u);
    EXPECT_EQ(requests[1].data_out, tool.images.Ef64ImageGroup1.data());
    EXPECT_EQ(requests[2].cdb, testing::CommandBytes({0xA0, 0x07}));
    EXPECT_EQ(requests[2].length, 64u);
    EXPECT_EQ(requests[2].data_in, tool.shared_buffer.data());
    EXPECT_EQ(requests[3].cdb, testing::CommandBytes({0xA0, 0x04}));
    EXPECT_EQ(requests[3].direction, DataDirection::In);
    EXPECT_EQ(requests[3].length, 64u);
    EXPECT_EQ(requests[3].data_in, tool.shared_buffer.data());
    for (const auto& r : requests) EXPECT_NE(r.handle, kInvalidDeviceHandle);
    EXPECT_EQ(tool.platform.opened_paths, std::vector<std::u16string>{u"/dev/sdb"});
}

struct NameCase {
    const char* what;
    Version device_version;
    const char* name;
    std::uint8_t dut_name_match_before;
    Lines verdict;
    Ef64Class ef64_class;
    std::uint8_t dut_name_match;
};

class Ef64NameAndClass : public Ef64Check, public ::testing::WithParamInterface<NameCase> {};

TEST_P(Ef64NameAndClass, DecidesClassAndProductLine) {
    const NameCase& c = GetParam();
    SCOPED_TRACE(c.what);
    state.DutNameMatch = c.dut_name_match_before;
    state.FirmwareGroup = ImageGroup::Group1;  // no group lines
    const Lines lines = Run(kImage, InfoBlockBytes({7, 8, 9, 10}, c.device_version, c.name));
    EXPECT_EQ(Verdict(lines), c.verdict);
    EXPECT_EQ(state.Ef64VersionClass, c.ef64_class);
    EXPECT_EQ(state.DutNameMatch, c.dut_name_match);
}

const char* kOld = "Device EF64 FW Version is  'Old'";
const char* kCurrent = "Device EF64 FW Version is  'Current'";
const char* kNew = "Device EF64 FW Version is  'New'";
const char* kPass = "Compare_DUT_FW_Name PASS";
const char* kForcedOld = "Changed Get Device EF64 FW Version is  'Old'(Torvex)";
const char* kFail1 = "Compare_DUT_FW_Name FAIL ";
const char* kPass2 = "Compare_DUT_FW_Name 2 PASS";
const char* kFail2 = "Compare_DUT_FW_Name 2 FAIL ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Ef64NameAndClass, ::testing::Values(
    NameCase{"first line, equal: forced Old", {100, 2, 0, 5}, "F_TORVEX_APP", 0,
             {kCurrent, kPass, kForcedOld}, Ef64Class::Old, 1},
    NameCase{"second line, older", {100, 2, 0, 4}, "F_TORVEXZED_APP", 0,
             {kOld, kFail1, kFail2}, Ef64Class::Old, 0},
    NameCase{"second line, equal", {100, 2, 0, 5}, "F_TORVEXZED_APP", 0,
             {kCurrent, kFail1, kPass2}, Ef64Class::Current, 1},
    NameCase{"second line, equal as a weighted sum", {100, 1, 10, 5}, "F_TORVEXZED_APP", 0,
             {kCurrent, kFail1, kPass2}, Ef64Class::Current, 1},
    NameCase{"second line, newer", {100, 2, 0, 6}, "F_TORVEXZED_APP", 0,
             {kNew, kFail1, kFail2}, Ef64Class::New, 0},
    NameCase{"neither line", {100, 2, 0, 5}, "OTHER_APP", 0,
             {kCurrent, kFail1, kFail2}, Ef64Class::Current, 0},
    NameCase{"name already accepted: no compare, no forced Old", {100, 2, 0, 5}, "F_TORVEX_APP", 1,
             {kCurrent}, Ef64Class::Current, 1}));
// clang-format on

struct GroupCase {
    const char* what;
    Version device_version;
    ImageGroup group_before;
    Lines group_lines;
    ImageGroup group;
};

class Ef64Group : public Ef64Check, public ::testing::WithParamInterface<GroupCase> {};

TEST_P(Ef64Group, PicksTheGroupFromTheDeviceVersion) {
    const GroupCase& c = GetParam();
    SCOPED_TRACE(c.what);
    state.DutNameMatch = 1;  // no name lines
    state.FirmwareGroup = c.group_before;
    const Lines verdict = Verdict(Run(kImage, InfoBlockBytes({}, c.device_version, "F_TORVEX_")));
    ASSERT_FALSE(verdict.empty());
    EXPECT_EQ(Lines(verdict.begin() + 1, verdict.end()), c.group_lines);
    EXPECT_EQ(state.FirmwareGroup, c.group);
}

const char* kCompare = "Compare FW Version ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Ef64Group, ::testing::Values(
    GroupCase{"100000 is Group_2", {100, 0, 0, 0}, ImageGroup::Unchecked, {kCompare, "FW_Group_2 "}, ImageGroup::Group2},
    GroupCase{"100001 is Group_1", {100, 0, 0, 1}, ImageGroup::Unchecked, {kCompare, "FW_Group_1 "}, ImageGroup::Group1},
    GroupCase{"0 never matches the end of the table", {0, 0, 0, 0}, ImageGroup::Unchecked,
              {kCompare, "FW_Group_1 "}, ImageGroup::Group1},
    GroupCase{"group already set", {100, 0, 0, 1}, ImageGroup::Group2, {}, ImageGroup::Group2}));
// clang-format on

struct FailureCase {
    const char* what;
    bool image_absent;
    std::vector<PassThroughResult> answers;
    Lines lines;
    std::size_t requests;
};

class Ef64Failure : public Ef64Check, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Ef64Failure, AnyFailedCommandMakesItAntique) {
    const FailureCase& c = GetParam();
    SCOPED_TRACE(c.what);
    state.DutNameMatch = 1;
    state.FirmwareGroup = ImageGroup::Group2;
    if (c.image_absent) tool.images.Ef64ImageGroup1 = {};
    tool.platform.script.assign(c.answers.begin(), c.answers.end());
    Lines expected = c.lines;
    expected.insert(expected.begin(), kBanner);
    expected.push_back("CMD FAIL.");
    expected.push_back("Device EF64 FW Version is  'Antique'");
    EXPECT_EQ(Run(kImage, InfoBlockBytes({}, {100, 0, 0, 0}, "F_TORVEX_")), expected);
    EXPECT_EQ(tool.platform.requests.size(), c.requests);
    EXPECT_EQ(state.Ef64VersionClass, Ef64Class::Antique);
    EXPECT_EQ(state.DutNameMatch, 1);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Group2);
    EXPECT_EQ(state.FirmwareAccepted, 1);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Ef64Failure, ::testing::Values(
    FailureCase{"key selection fails", false, {kFail, kFail, kFail},
                {kTransportFail, kTransportFail, kTransportFail}, 3},
    FailureCase{"header refused", false, {kOk, kFail, kFail, kFail},
                {kTransportFail, kTransportFail, kTransportFail}, 4},
    FailureCase{"image information fails", false, {kOk, kOk, kFail, kFail, kFail},
                {kTransportFail, kTransportFail, kTransportFail}, 5},
    FailureCase{"device read fails after the image lines", false,
                {kOk, kOk, kOk, kFail, kFail, kFail},
                {"BINX File FW, Tag: 7.8.9.10,  Version: 100.2.0.5 ",
                 "BINX File FW Name: F_TORVEX_IMAGE", "\r",
                 kTransportFail, kTransportFail, kTransportFail}, 6},
    FailureCase{"image block absent: nothing sent from it", true, {},
                {"Firmware block not available, nothing sent."}, 1}));
// clang-format on

TEST_F(Ef64Check, ImageOfAnotherMajorVersionIsRejectedBeforeAnyDeviceRead) {
    state.Ef32VersionClass = Ef32Class::Old;
    state.DutNameMatch = 1;
    state.FirmwareGroup = ImageGroup::Group2;
    tool.window.firmware_path = u"/home/op/new.binx";
    tool.window.update_enabled = true;
    // What a tick arriving inside the box would find.
    bool settled_before_box = false;
    tool.window.on_message_box = [&](std::u16string_view) {
        settled_before_box =
            state.FirmwareAccepted == 0 && state.Ef64VersionClass == Ef64Class::Unchecked &&
            state.Ef32VersionClass == Ef32Class::Unchecked && state.AutoRestart == 0 &&
            !tool.window.update_enabled && tool.window.firmware_path.empty() &&
            tool.platform.open_handles == 0 && tool.platform.closes == 1;
    };

    const Lines lines = Run(InfoBlockBytes({7, 8, 9, 10}, {99, 9, 9, 9}, "F_TORVEX_IMAGE"),
                            InfoBlockBytes({}, {100, 0, 0, 0}, "F_TORVEX_"));

    EXPECT_EQ(lines, (Lines{kBanner, "BINX File FW, Tag: 7.8.9.10,  Version: 99.9.9.9 ",
                            "BINX File FW Name: F_TORVEX_IMAGE", "\r"}));
    EXPECT_TRUE(settled_before_box);
    EXPECT_EQ(tool.window.message_boxes,
              std::vector<std::u16string>{
                  u"Firmware file(Binx) is not supported,\r\nPlease select another file."});
    EXPECT_EQ(tool.window.update_enabling, std::vector<bool>{false});
    EXPECT_EQ(tool.platform.requests.size(), 3u);
    EXPECT_EQ(state.Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(state.DutNameMatch, 1);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Group2);
}

TEST_F(Ef64Check, ImageFiguresAreTakenBeforeTheDeviceReadOverwritesTheBuffer) {
    // The device block would pass the major-version test and give another number if it were
    // read in place of the image's.
    const Lines lines = Run(InfoBlockBytes({}, {100, 0, 0, 1}, "IMG"),
                            InfoBlockBytes({}, {100, 0, 0, 0}, "F_TORVEXZED_"));
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[7], "BinX File FW Version:   100001");
    EXPECT_EQ(lines[9], kOld);
}

TEST(Ef64Garbage, RandomIdentityBlocksNeverBreakTheCheck) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200; ++round) {
        testing::CoreFixture tool;
        tool.state.DevicePath = u"/dev/sdb";
        tool.state.FirmwareAccepted = 1;
        Bytes image(64), device(64);
        for (auto& b : image) b = static_cast<std::uint8_t>(byte(random));
        for (auto& b : device) b = static_cast<std::uint8_t>(byte(random));
        if (round % 2 == 0) image[11] = kRequiredEf64ImageMajor;  // reach the device side too
        tool.platform.replies = {image, device};
        Check_Application_Version_Combine(tool.context);
        EXPECT_LE(tool.state.Ef64VersionClass, Ef64Class::New);
        EXPECT_LE(tool.state.FirmwareGroup, ImageGroup::Group2);
        EXPECT_EQ(tool.platform.open_handles, 0);
        EXPECT_EQ(tool.state.Ef64VersionClass == Ef64Class::Unchecked,
                  tool.window.message_boxes.size() == 1);
    }
}

}  // namespace
}  // namespace torvex
