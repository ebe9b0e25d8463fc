// Update F/W: every branch, its ending, what it writes, and what the operator sees after it.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/replug_timer.h"
#include "app/update_controller.h"
#include "tests/support/core_fixture.h"

namespace torvex {
namespace {

using testing::CoreFixture;
using testing::ScriptedPlatform;
using Lines = std::vector<std::string>;

const std::u16string kReconnect =
    u"Please disconnect and reconnect the device to your PC, \r\ntry the update again.";
const std::u16string kNotSupported =
    u"Your device's current firmware is not supported to update. \r\nPlease return the product "
    u"to manufacturer.";

struct ControllerTest : ::testing::Test, CoreFixture {
    ControllerTest() { state.DevicePath = u"/dev/product"; }

    void Product(std::uint16_t run_mode, std::uint16_t vid, std::uint32_t app, std::uint8_t match) {
        state.RunMode = run_mode;
        state.DeviceVid = vid;
        state.AppCodeRunning = app;
        state.DutNameMatch = match;
        state.DeviceFound = 1;
    }
    void Application(Ef64Class ef64, Ef32Class ef32) {
        Product(kRunModeAppOrOta, kVendorAppAndOta, 1, 1);
        state.Ef64VersionClass = ef64;
        state.Ef32VersionClass = ef32;
    }
    bool Logged(const std::string& line) const {
        const auto lines = window.Utf8Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::size_t CountOpcode(std::uint8_t opcode) const {
        return static_cast<std::size_t>(
            std::count_if(platform.requests.begin(), platform.requests.end(),
                          [&](const auto& r) { return r.cdb.size() > 1 && r.cdb[1] == opcode; }));
    }
    // What the operator sees on the ticks after an ending: the ending's picture stays for `hold`
    // ticks, then the timer shows Ready or Standby (no replug wait goes on), no click is posted,
    // and the product is looked for again only after a failure.
    void ExpectTicksAfterEnding(StatusPicture ending_picture, int hold, bool looks_again) {
        const std::size_t lines_before = window.Utf8Lines().size();
        for (int tick = 1; tick <= hold; ++tick) {
            OnReplugTimer(context);
            EXPECT_EQ(window.picture, ending_picture) << "tick " << tick;
        }
        OnReplugTimer(context);
        EXPECT_NE(window.picture, ending_picture);
        for (int tick = hold + 2; tick <= 12; ++tick) OnReplugTimer(context);
        EXPECT_EQ(window.posted_clicks, 0);
        const auto lines = window.Utf8Lines();
        const bool looked = std::any_of(lines.begin() + static_cast<long>(lines_before),
                                        lines.end(), [](const std::string& line) {
                                            return line.starts_with("USB device") ||
                                                   line.starts_with("Run Code at Mask Code ");
                                        });
        EXPECT_EQ(looked, looks_again);
    }
    void ExpectSuccessEnding() {
        const auto lines = window.Utf8Lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], "PASS.");
        EXPECT_EQ(lines.back(), "Updat FW.... Update complete !!");
        EXPECT_EQ(window.picture, StatusPicture::Complete);
        EXPECT_EQ(window.progress, 0);
        EXPECT_EQ(window.endings, std::vector<RunEnding>{RunEnding::Success});
        EXPECT_TRUE(window.message_boxes.empty());
        ExpectTicksAfterEnding(StatusPicture::Complete, 5, false);
        EXPECT_NE(window.picture, StatusPicture::Updating);  // no replug wait is left
    }
    void ExpectFailureEnding(const std::string& first_line) {
        const auto lines = window.Utf8Lines();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[lines.size() - 3], first_line);
        EXPECT_EQ(lines[lines.size() - 2], "Updat FW.... FAIL !!");
        EXPECT_EQ(lines.back(), "");
        EXPECT_EQ(window.picture, StatusPicture::Fail);
        EXPECT_EQ(window.progress, 0);
        EXPECT_EQ(window.endings, std::vector<RunEnding>{RunEnding::Failure});
        EXPECT_EQ(window.message_boxes, std::vector<std::u16string>{kReconnect});
        ExpectTicksAfterEnding(StatusPicture::Fail, 5, true);
        EXPECT_NE(window.picture, StatusPicture::Updating);
    }
    void ExpectNotSupportedEnding(const std::string& first_line) {
        EXPECT_EQ(window.Utf8Lines().back(), first_line);
        EXPECT_EQ(window.picture, StatusPicture::Fail);
        EXPECT_EQ(window.endings, std::vector<RunEnding>{RunEnding::NotSupported});
        EXPECT_EQ(window.message_boxes, std::vector<std::u16string>{kNotSupported});
        EXPECT_TRUE(platform.requests.empty());
        ExpectTicksAfterEnding(StatusPicture::Fail, 20, false);
    }
    // Makes every attempt of the n-th command sent (0-based) fail.
    void FailCommand(int n) {
        for (int i = 0; i < n; ++i) platform.script.push_back(ScriptedPlatform::Delivered());
        for (int i = 0; i < 3; ++i) platform.script.push_back(ScriptedPlatform::Failed());
    }
};

TEST_F(ControllerTest, Mask0210WritesBothBanksInOneRun) {
    Product(kRunModeMaskCode, kVendorBootAndIsp, 0, 1);
    state.MaskVariant = MaskCode::Mask0210;
    OnUpdateFw(context);
    const auto lines = window.Utf8Lines();
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
              (Lines{"Button2...", "Run Code at Mask...", "Mask 0210....",
                     "ISP EF32_0 - *.BinX  (Group_1)", "Run_Code_at_EF64_ISP_EF32_0_OTA"}));
    EXPECT_TRUE(Logged("ISP EF64 - *.BinX  (Group_1)"));
    EXPECT_FALSE(Logged("Jump to EFlash"));  // no EF32_0 jump in mask code 0210
    EXPECT_EQ(platform.requests.size(), 17u);
    EXPECT_EQ(window.progress_steps, 8);  // 3 + 5 on a 0..7 bar, then back to 0
    EXPECT_EQ(state.MaskVariant, MaskCode::Mask0110);
    EXPECT_EQ(window.repaints, 1);
    ExpectSuccessEnding();
    EXPECT_EQ(platform.open_handles, 0);
}

TEST_F(ControllerTest, Mask0110IsRefusedWithoutWriting) {
    Product(kRunModeMaskCode, kVendorBootAndIsp, 0, 1);
    state.ReplugTicks = 3;
    OnUpdateFw(context);
    EXPECT_EQ(window.Utf8Lines(), (Lines{"Button2...", "Run Code at Mask...", "Mask 0110...."}));
    EXPECT_EQ(platform.open_handles, 0);
    EXPECT_EQ(state.ReplugTicks, 3);  // kept: the replug wait goes on after the picture's hold
    ExpectNotSupportedEnding("Mask 0110....");
    EXPECT_EQ(window.picture, StatusPicture::Updating);
}

TEST_F(ControllerTest, Mask0210Ef32FailureLineHasNoFullStop) {
    Product(kRunModeMaskCode, kVendorBootAndIsp, 0, 1);
    state.MaskVariant = MaskCode::Mask0210;
    FailCommand(0);
    OnUpdateFw(context);
    EXPECT_EQ(state.MaskVariant, MaskCode::Mask0210);  // the EF64 step was not reached
    ExpectFailureEnding("FAIL");
}

TEST_F(ControllerTest, Mask0210Ef64FailureClearsMaskVariant) {
    Product(kRunModeMaskCode, kVendorBootAndIsp, 0, 1);
    state.MaskVariant = MaskCode::Mask0210;
    FailCommand(8 + 2);  // the EF64 key selection
    OnUpdateFw(context);
    EXPECT_EQ(state.MaskVariant, MaskCode::Mask0110);
    ExpectFailureEnding("FAIL.");
}

TEST_F(ControllerTest, AntiqueApplicationIsSentToItsOtaCodeSilently) {
    Application(Ef64Class::Antique, Ef32Class::Old);
    OnUpdateFw(context);
    EXPECT_EQ(window.Utf8Lines(), (Lines{"Button2...", "Run Code at Application ",
                                         "EF64_Antique  -  ISP_CMD_EXECUTE"}));
    EXPECT_EQ(window.secondary_log, u"DUT FW Updating...\r\n");
    EXPECT_EQ(SentBlocks(), Lines{"FF A0 02 00 00 00 00 00 00 00 00"});
    EXPECT_EQ(state.RestartPending, 1);
    EXPECT_EQ(state.AppCodeRunning, 0u);
    EXPECT_EQ(state.ReplugTicks, 1);
    EXPECT_EQ(state.DeviceFound, 0u);
    EXPECT_EQ(window.picture, StatusPicture::Updating);
    EXPECT_TRUE(window.message_boxes.empty());
    EXPECT_EQ(platform.open_handles, 0);
}

TEST_F(ControllerTest, OldApplicationWritesEf32OfItsGroupAndJumps) {
    Application(Ef64Class::Old, Ef32Class::Current);
    state.FirmwareGroup = ImageGroup::Group2;
    OnUpdateFw(context);
    EXPECT_TRUE(Logged("EF64_Old"));
    EXPECT_TRUE(Logged("ISP EF32_0 - *.BinX  (Group_2)"));
    EXPECT_TRUE(Logged("Jump to EFlash"));
    EXPECT_EQ(platform.requests[1].data_out, blocks.blocks[164].data() + 512);
    EXPECT_EQ(state.RestartPending, 1);
    EXPECT_EQ(state.ReplugTicks, 1);
    EXPECT_EQ(state.DeviceFound, 0u);
    EXPECT_EQ(window.picture, StatusPicture::Updating);
    EXPECT_EQ(window.progress_steps, 3);
    EXPECT_TRUE(window.message_boxes.empty());
}

TEST_F(ControllerTest, OldApplicationWithUncheckedEf32WritesNothingButWaits) {
    Application(Ef64Class::Old, Ef32Class::Unchecked);
    OnUpdateFw(context);
    EXPECT_TRUE(platform.requests.empty());
    EXPECT_EQ(state.RestartPending, 1);
    EXPECT_EQ(state.ReplugTicks, 1);
    EXPECT_EQ(state.DeviceFound, 0u);
}

TEST_F(ControllerTest, UncheckedEf64WithKnownEf32WritesEf32WithoutRestart) {
    Application(Ef64Class::Unchecked, Ef32Class::NoCode);
    OnUpdateFw(context);
    EXPECT_EQ(CountOpcode(0x29), 1u);
    EXPECT_EQ(state.RestartPending, 0);
    EXPECT_EQ(state.ReplugTicks, 1);
    EXPECT_EQ(state.DeviceFound, 0u);
}

TEST_F(ControllerTest, ApplicationEf32FailureEndsWithFullStop) {
    Application(Ef64Class::Old, Ef32Class::Old);
    FailCommand(1);
    OnUpdateFw(context);
    ExpectFailureEnding("FAIL.");
}

TEST_F(ControllerTest, CurrentOrNewIsAlreadyUpdatedAndTheHandleClosesAfterTheBox) {
    for (Ef64Class ef64 : {Ef64Class::Current, Ef64Class::New}) {
        window.message_boxes.clear();
        window.ClearLog();
        platform.requests.clear();
        Application(ef64, Ef32Class::Old);
        state.RestartPending = 1;
        int handles_during_box = -1;
        window.on_message_box = [&](std::u16string_view) {
            handles_during_box = platform.open_handles;
        };
        OnUpdateFw(context);
        EXPECT_TRUE(Logged(ef64 == Ef64Class::Current ? "EF64_current" : "EF64_New"));
        EXPECT_EQ(window.message_boxes,
                  std::vector<std::u16string>{u"Your device is already updated."});
        EXPECT_EQ(handles_during_box, 1);
        EXPECT_EQ(platform.open_handles, 0);
        EXPECT_EQ(state.RestartPending, 0);
        EXPECT_TRUE(platform.requests.empty());
    }
}

TEST_F(ControllerTest, OtaCodeWritesEf64AndSucceeds) {
    Product(kRunModeAppOrOta, kVendorAppAndOta, 0, 1);
    state.MaskVariant = MaskCode::Mask0210;
    state.FirmwareGroup = ImageGroup::Group2;
    OnUpdateFw(context);
    const auto lines = window.Utf8Lines();
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4),
              (Lines{"Button2...", "Run Code at OTA ", "ISP EF64 - *.BinX  (Group_2)",
                     "Run Code at Mask0210 or OTA ISP EF64"}));
    EXPECT_EQ(platform.requests[3].data_out, blocks.blocks[163].data() + 512);
    EXPECT_EQ(state.MaskVariant, MaskCode::Mask0110);
    ExpectSuccessEnding();
}

TEST_F(ControllerTest, ProtectIspWritesEf64AndKeepsMaskVariant) {
    Product(kRunModeProtectIsp, kVendorBootAndIsp, 0, 0);
    state.MaskVariant = MaskCode::Mask0210;
    OnUpdateFw(context);
    EXPECT_EQ(window.Utf8Lines()[1], "Run Code at Protect ISP EF64");
    EXPECT_EQ(CountOpcode(0x50), 1u);  // the protected ISP code's own main-memory opcode
    EXPECT_EQ(state.MaskVariant, MaskCode::Mask0210);
    ExpectSuccessEnding();
}

TEST_F(ControllerTest, ProtectIspRejectedChecksumIsAFailureNeverComplete) {
    Product(kRunModeProtectIsp, kVendorBootAndIsp, 0, 0);
    platform.script = {ScriptedPlatform::Delivered(), ScriptedPlatform::Delivered(),
                       ScriptedPlatform::Delivered(), ScriptedPlatform::Delivered(),
                       ScriptedPlatform::Delivered(kScsiStatusCheckCondition)};
    OnUpdateFw(context);
    EXPECT_FALSE(Logged("Updat FW.... Update complete !!"));
    ExpectFailureEnding("FAIL.");
}

TEST_F(ControllerTest, UnacceptedNameOrUnknownProductIsOtherCode) {
    Product(kRunModeAppOrOta, kVendorAppAndOta, 0, 0);
    OnUpdateFw(context);
    ExpectNotSupportedEnding("Other Code");
    EXPECT_TRUE(window.secondary_log.empty());
}

TEST_F(ControllerTest, FailedOpenIsAFailureEnding) {
    Product(kRunModeProtectIsp, kVendorBootAndIsp, 0, 0);
    platform.open_fails = true;
    state.AutoRestart = 2;
    OnUpdateFw(context);
    EXPECT_EQ(window.Utf8Lines(),
              (Lines{"Button2...", "Open USB device failed.",
                     "Reason: Device or resource busy (errno 16)", "Updat FW.... FAIL !!", ""}));
    ExpectFailureEnding("Reason: Device or resource busy (errno 16)");
    EXPECT_EQ(platform.opened_paths, std::vector<std::u16string>{u"/dev/product"});
}

}  // namespace
}  // namespace torvex
