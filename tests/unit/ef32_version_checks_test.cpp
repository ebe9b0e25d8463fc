// EF32_0 checks: the bank as the application code reports it, and the running OTA code.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/controller_state_update.h"
#include "firmware/ef32_version_checks.h"
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
const char* kAppBanner = "Check_OTA_Version_at_Application ------------------------------------";
const char* kOtaBanner = "Check_OTA_Version_at_OTA -------------------------------------------";
constexpr Version kTag = {7, 8, 9, 10};

// The carried EF32_0 image is 1.0.2.0: number 1020.
const Bytes kImage = InfoBlockBytes(kTag, {1, 0, 2, 0}, "F_TORVEXZED_OTA_IMG");

Bytes ErasedWith(std::size_t ff_bytes) {
    Bytes block(64, 0x00);
    std::fill_n(block.begin(), ff_bytes, std::uint8_t{0xFF});
    return block;
}

// The signature on the even offsets, 0x11 on the odd ones. Its tag (offsets 7 to 10) is
// 0x11.0xA3.0x11.0xF9, never 7.8.9.10.
Bytes ProtectedIspBlock() {
    Bytes block(64, 0x11);
    for (std::size_t i = 0; i < ProtectSignature.size(); ++i) block[2 * i] = ProtectSignature[i];
    return block;
}

Bytes ProtectedIspBlockWith(std::size_t offset, std::uint8_t value) {
    Bytes block = ProtectedIspBlock();
    block[offset] = value;
    return block;
}

struct Ef32Check : ::testing::Test {
    testing::CoreFixture tool;
    ControllerState& state = tool.state;

    void SetUp() override {
        state.DevicePath = u"/dev/sdb";
        state.DeviceFound = 1;
        state.DeviceVid = kVendorAppAndOta;
        state.FirmwareAccepted = 1;
        state.AutoRestart = 2;
    }
    Lines Finish() {
        EXPECT_EQ(tool.platform.open_handles, 0);
        EXPECT_EQ(state.AutoRestart, 0);
        return tool.window.Utf8Lines();
    }
    Lines AtApplication(Bytes bank, Bytes image = kImage) {
        state.AppCodeRunning = 1;
        tool.platform.replies = {std::move(bank), std::move(image)};
        Check_OTA_Version_at_Application(tool.context);
        return Finish();
    }
    Lines AtOta(Bytes firmware) {
        state.AppCodeRunning = 0;
        tool.platform.replies = {std::move(firmware)};
        Check_OTA_Version_at_OTA(tool.context);
        return Finish();
    }
};

TEST_F(Ef32Check, AtApplicationOlderBankFullLogAndWire) {
    const Lines lines = AtApplication(InfoBlockBytes(kTag, {1, 0, 1, 9}, "F_TORVEX_OTA"));
    EXPECT_EQ(lines, (Lines{"\r", kAppBanner, "Device EF32_0 FW, Tag: 7.8.9.10,  Version: 1.0.1.9 ",
                            "Device EF32_0 FW Name: F_TORVEX_OTA", "\r", "EF32_0 FW Tag PASS",
                            "BINX File FW, Tag: 7.8.9.10,  Version: 1.0.2.0 ",
                            "BINX File FW Name: F_TORVEXZED_OTA_IMG", "\r",
                            "GUI EF32_0 BINX FW Version: 1020", "Device EF32_0 FW Version:   1019",
                            "Device EF32_0 FW Version is  'Old'", "Compare_DUT_FW_Name PASS"}));
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Old);
    EXPECT_EQ(state.DutNameMatch, 1);

    const auto& requests = tool.platform.requests;
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].cdb, testing::CommandBytes({0xA0, 0x05}));
    EXPECT_EQ(requests[0].direction, DataDirection::In);
    EXPECT_EQ(requests[0].length, 64u);
    EXPECT_EQ(requests[0].data_in, tool.shared_buffer.data());
    EXPECT_EQ(requests[1].cdb, testing::CommandBytes({0x62, 0x07}));
    EXPECT_EQ(requests[2].cdb, testing::CommandBytes({0xA0, 0x06}));
    EXPECT_EQ(requests[2].data_out, tool.images.Ef32ImageGroup1.data());
    EXPECT_EQ(requests[2].length, 2048u);
    EXPECT_EQ(requests[3].cdb, testing::CommandBytes({0xA0, 0x07}));
    EXPECT_EQ(requests[3].length, 64u);
}

struct BankCase {
    const char* what;
    Bytes bank;
    Lines verdict;  // the lines after the bank's three lines
    Ef32Class ef32_class;
    std::size_t requests;
};

class Ef32Bank : public Ef32Check, public ::testing::WithParamInterface<BankCase> {};

TEST_P(Ef32Bank, ClassesTheBank) {
    const BankCase& c = GetParam();
    SCOPED_TRACE(c.what);
    state.DutNameMatch = 1;  // no name line
    const Lines lines = AtApplication(c.bank);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin() + 5, lines.end()), c.verdict);
    EXPECT_EQ(state.Ef32VersionClass, c.ef32_class);
    EXPECT_EQ(tool.platform.requests.size(), c.requests);
}

const char* kNoCode = "Device EF32_0 is  'No_Code'";
const char* kTagFail = "EF32_0 Tag FAIL, Set Device EF32_0 is  'No_Code'";
const char* kProtect = "Device EF32_0 FW is  'Protect'";
// The lines of a bank with the right tag, compared with the 1.0.2.0 image.
Lines Compared(const char* bank_number, const char* verdict) {
    return {"EF32_0 FW Tag PASS",
            "BINX File FW, Tag: 7.8.9.10,  Version: 1.0.2.0 ",
            "BINX File FW Name: F_TORVEXZED_OTA_IMG",
            "\r",
            "GUI EF32_0 BINX FW Version: 1020",
            std::string("Device EF32_0 FW Version:   ") + bank_number,
            verdict};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Ef32Bank, ::testing::Values(
    BankCase{"64 bytes 0xFF", ErasedWith(64), {kNoCode}, Ef32Class::NoCode, 1},
    BankCase{"63 bytes 0xFF", ErasedWith(63), {kNoCode}, Ef32Class::NoCode, 1},
    BankCase{"62 bytes 0xFF goes on to the tag test", ErasedWith(62), {kTagFail}, Ef32Class::NoCode, 1},
    BankCase{"protected ISP code, although its tag is wrong", ProtectedIspBlock(), {kProtect},
             Ef32Class::Protect, 1},
    BankCase{"signature with one even byte off", ProtectedIspBlockWith(62, 0x03), {kTagFail},
             Ef32Class::NoCode, 1},
    BankCase{"odd offsets are not part of the signature", ProtectedIspBlockWith(63, 0x00),
             {kProtect}, Ef32Class::Protect, 1},
    BankCase{"tag 7.8.9.11", InfoBlockBytes({7, 8, 9, 11}, {1, 0, 1, 0}, "F_TORVEX_"), {kTagFail},
             Ef32Class::NoCode, 1},
    BankCase{"equal versions are Current", InfoBlockBytes(kTag, {1, 0, 2, 0}, "F_TORVEX_"),
             Compared("1020", "Device EF32_0 FW Version is  'Current'"), Ef32Class::Current, 4},
    BankCase{"newer bank", InfoBlockBytes(kTag, {2, 0, 0, 0}, "F_TORVEX_"),
             Compared("2000", "Device EF32_0 FW Version is  'New'"), Ef32Class::New, 4}));
// clang-format on

struct AppNameCase {
    const char* what;
    const char* name;
    std::uint8_t dut_name_match_before;
    Lines name_lines;
    std::uint8_t dut_name_match;
};

class Ef32AppName : public Ef32Check, public ::testing::WithParamInterface<AppNameCase> {};

TEST_P(Ef32AppName, TestsTheFirstProductLineOnlyWhenNotYetAccepted) {
    const AppNameCase& c = GetParam();
    SCOPED_TRACE(c.what);
    state.DutNameMatch = c.dut_name_match_before;
    const Lines lines = AtApplication(InfoBlockBytes(kTag, {1, 0, 2, 0}, c.name));
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[11], "Device EF32_0 FW Version is  'Current'");
    EXPECT_EQ(Lines(lines.begin() + 12, lines.end()), c.name_lines);
    EXPECT_EQ(state.DutNameMatch, c.dut_name_match);
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Current);  // the name never changes the class
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Ef32AppName, ::testing::Values(
    AppNameCase{"first line", "F_TORVEX_OTA", 0, {"Compare_DUT_FW_Name PASS"}, 1},
    AppNameCase{"second line", "F_TORVEXZED_OTA", 0, {"Compare_DUT_FW_Name FAIL "}, 0},
    AppNameCase{"already accepted", "OTHER", 1, {}, 1}));
// clang-format on

TEST_F(Ef32Check, AtApplicationBankReadFailingIsNoCodeWithoutItsLine) {
    state.Ef32VersionClass = Ef32Class::Unchecked;
    tool.platform.script = {kFail, kFail, kFail};
    EXPECT_EQ(AtApplication(kImage), (Lines{"\r", kAppBanner, kTransportFail, kTransportFail,
                                            kTransportFail, "CMD FAIL."}));
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::NoCode);
}

TEST_F(Ef32Check, AtApplicationImageQueryFailingLeavesClassAndName) {
    state.Ef32VersionClass = Ef32Class::Unchecked;
    state.DutNameMatch = 0;
    tool.platform.script = {kOk, kOk, kFail, kFail, kFail};  // the header is refused
    const Lines lines = AtApplication(InfoBlockBytes(kTag, {1, 0, 1, 0}, "F_TORVEX_"));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(
        Lines(lines.begin() + 5, lines.end()),
        (Lines{"EF32_0 FW Tag PASS", kTransportFail, kTransportFail, kTransportFail, "CMD FAIL."}));
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Unchecked);
    EXPECT_EQ(state.DutNameMatch, 0);
}

TEST_F(Ef32Check, AtOtaSecondProductLineFullLogAndWire) {
    EXPECT_EQ(AtOta(InfoBlockBytes(kTag, {50, 0, 0, 0}, "F_TORVEXZED_OTA")),
              (Lines{kOtaBanner, "Device EF32_0 FW, Tag: 7.8.9.10,  Version: 50.0.0.0 ",
                     "Device EF32_0 FW Name: F_TORVEXZED_OTA", "\r", "Compare_DUT_FW_Name PASS",
                     "Compare FW Version ", "Group_2 ", "Device EF32_0 FW Version:   50000"}));
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Old);
    EXPECT_EQ(state.DutNameMatch, 1);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Group2);
    ASSERT_EQ(tool.platform.requests.size(), 1u);
    EXPECT_EQ(tool.platform.requests[0].cdb, testing::CommandBytes({0xA0, 0x04}));
    EXPECT_EQ(tool.platform.requests[0].length, 64u);
    EXPECT_EQ(tool.platform.requests[0].data_in, tool.shared_buffer.data());
}

struct OtaCase {
    const char* what;
    Bytes firmware;
    std::uint8_t dut_name_match_before;
    ImageGroup group_before;
    Lines verdict;  // the lines after the block's three lines
    std::uint8_t dut_name_match;
    ImageGroup group;
};

class Ef32AtOta : public Ef32Check, public ::testing::WithParamInterface<OtaCase> {};

TEST_P(Ef32AtOta, AlwaysOldNameAndGroupFromTheRunningFirmware) {
    const OtaCase& c = GetParam();
    SCOPED_TRACE(c.what);
    state.DutNameMatch = c.dut_name_match_before;
    state.FirmwareGroup = c.group_before;
    const Lines lines = AtOta(c.firmware);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.begin() + 4, lines.end()), c.verdict);
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Old);
    EXPECT_EQ(state.DutNameMatch, c.dut_name_match);
    EXPECT_EQ(state.FirmwareGroup, c.group);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Ef32AtOta, ::testing::Values(
    OtaCase{"50001 is Group_1", InfoBlockBytes(kTag, {50, 0, 0, 1}, "F_TORVEXZED_"), 1, ImageGroup::Unchecked,
            {"Compare FW Version ", "Group_1 ", "Device EF32_0 FW Version:   50001"}, 1, ImageGroup::Group1},
    OtaCase{"first product line fails the name",
            InfoBlockBytes(kTag, {50, 0, 0, 0}, "F_TORVEX_OTA"), 0, ImageGroup::Group1,
            {"Compare_DUT_FW_Name FAIL ", "Device EF32_0 FW Version:   50000"}, 0, ImageGroup::Group1},
    OtaCase{"name accepted, group set, erased-looking block", ErasedWith(64), 1, ImageGroup::Group2,
            {"Device EF32_0 FW Version:   283305"}, 1, ImageGroup::Group2},
    OtaCase{"no tag test at OTA", InfoBlockBytes({7, 8, 9, 11}, {1, 0, 0, 0}, "F_TORVEXZED_"), 0,
            ImageGroup::Group1, {"Compare_DUT_FW_Name PASS", "Device EF32_0 FW Version:   1000"}, 1,
            ImageGroup::Group1}));
// clang-format on

TEST_F(Ef32Check, AtOtaReadFailingLeavesUncheckedAndIsAskedAgain) {
    const Lines once = {kOtaBanner, kTransportFail, kTransportFail, kTransportFail, "CMD FAIL."};
    tool.platform.script = {kFail, kFail, kFail};
    EXPECT_EQ(AtOta({}), once);
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Unchecked);

    tool.platform.script = {kFail, kFail, kFail};
    Lines twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(AtOta({}), twice);
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Unchecked);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Unchecked);
}

TEST(Ef32Garbage, RandomIdentityBlocksNeverBreakEitherCheck) {
    std::mt19937 random(7310);
    std::uniform_int_distribution<int> byte(0, 255);
    const auto random_block = [&]() {
        Bytes b(64);
        for (auto& x : b) x = static_cast<std::uint8_t>(byte(random));
        return b;
    };
    for (int round = 0; round < 200; ++round) {
        testing::CoreFixture tool;
        tool.state.DevicePath = u"/dev/sdb";
        Bytes bank = random_block();
        if (round % 2 == 0) std::copy(kTag.begin(), kTag.end(), bank.begin() + 7);
        tool.platform.replies = {bank, random_block(), random_block()};
        Check_OTA_Version_at_Application(tool.context);
        EXPECT_LE(tool.state.Ef32VersionClass, Ef32Class::New);
        EXPECT_NE(tool.state.Ef32VersionClass, Ef32Class::Unchecked);
        Check_OTA_Version_at_OTA(tool.context);
        EXPECT_EQ(tool.state.Ef32VersionClass, Ef32Class::Old);
        EXPECT_LE(tool.state.FirmwareGroup, ImageGroup::Group2);
        EXPECT_NE(tool.state.FirmwareGroup, ImageGroup::Unchecked);
        EXPECT_EQ(tool.platform.open_handles, 0);
    }
}

}  // namespace
}  // namespace torvex
