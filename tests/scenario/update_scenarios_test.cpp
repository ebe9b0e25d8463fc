// Whole updates against the virtual product: every way into an update, the automatic second run,
// the endings, and what went over the wire.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/user_messages.h"
#include "simulator/sample_firmware.h"
#include "tests/scenario/scenario_harness.h"

namespace torvex {
namespace {

using sim::Command;
using sim::Fault;
using sim::FaultAction;
using sim::ProductMode;
using sim::ProductPreset;
using testing::Scenario;
using Lines = std::vector<std::string>;

const Lines kEf32Programming = {
    "ISP_CMD_SELECT_AES_KEY 0x07",      "ISP_CMD_PROGRAM_EF32_0_MAIN",
    "ISP_CMD_CHECK_EF32_0_MAIN",        "ISP_CMD_SELECT_AES_KEY 0x1C",
    "ISP_CMD_PROGRAM_EF32_INFO page 0", "ISP_CMD_CHECK_EF32_INFO page 0",
    "ISP_CMD_PROGRAM_EF32_INFO page 1", "ISP_CMD_CHECK_EF32_INFO page 1"};
const Lines kEf64Programming = {
    "ISP_CMD_ERASE_EF64_MAIN",   "ISP_CMD_ERASE_EF64_INFO", "ISP_CMD_SELECT_AES_KEY 0x07",
    "ISP_CMD_PROGRAM_EF64_MAIN", "ISP_CMD_CHECK_EF64_MAIN", "ISP_CMD_SELECT_AES_KEY 0x1C",
    "ISP_CMD_PROGRAM_EF64_INFO", "ISP_CMD_CHECK_EF64_INFO", "ISP_CMD_JUMP_EF64"};
const Lines kImageQuery = {"ISP_CMD_SELECT_AES_KEY 0x07", "ISP_CMD_PUT_BINX_HEADER",
                           "ISP_CMD_GET_BINX_INFO"};

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

void ExpectCleanWire(const Scenario& s) {
    EXPECT_TRUE(s.platform.Violations().empty()) << s.platform.Violations().front().reason;
    EXPECT_EQ(s.platform.OpenHandleCount(), 0u);
    EXPECT_EQ(s.platform.BadCloseCount(), 0u);
}

void ExpectUpdatedToSamples(Scenario& s, int group) {
    EXPECT_EQ(s.Product().Ef64().Identity(), sim::SampleEf64Identity(group));
    EXPECT_EQ(s.Product().Ef32().Identity(), sim::SampleEf32Identity(group));
}

TEST(UpdateScenario, TwoRunUpdateFromOldApplicationCode) {
    Scenario s(ProductPreset::ApplicationOld);
    ASSERT_TRUE(s.Start());
    s.Tick();
    EXPECT_EQ(s.State().Ef64VersionClass, Ef64Class::Old);
    EXPECT_EQ(s.State().Ef32VersionClass, Ef32Class::Old);
    EXPECT_EQ(s.State().DutNameMatch, 1);
    EXPECT_EQ(s.State().FirmwareGroup, ImageGroup::Group1);
    EXPECT_EQ(s.window.picture, StatusPicture::Ready);
    EXPECT_TRUE(s.window.update_enabled);

    s.Click();
    EXPECT_EQ(s.State().RestartPending, 1);
    EXPECT_EQ(s.State().DeviceFound, 0u);
    EXPECT_EQ(s.window.picture, StatusPicture::Updating);
    EXPECT_EQ(s.window.progress, 3);
    EXPECT_FALSE(s.platform.IsPresent(0));  // gone, on its way to its OTA code

    ASSERT_TRUE(s.TickUntil([&] { return s.Logged("Updat FW.... Update complete !!"); }, 20));
    EXPECT_EQ(s.window.posted_clicks, 1);
    // Back in OTA code, the product's EF32_0 firmware passed the name test of the second run.
    const Lines since_ota_check =
        s.LinesFrom("Check_OTA_Version_at_OTA -------------------------------------------");
    EXPECT_NE(std::find(since_ota_check.begin(), since_ota_check.end(), "Compare_DUT_FW_Name PASS"),
              since_ota_check.end());
    EXPECT_TRUE(s.Logged("Run Code at OTA "));
    EXPECT_EQ(s.window.picture, StatusPicture::Complete);
    EXPECT_EQ(s.window.progress, 0);
    EXPECT_EQ(s.window.progress_steps, 8);
    EXPECT_TRUE(s.window.message_boxes.empty());

    EXPECT_EQ(s.Commands(), Concat({kImageQuery,
                                    {"ISP_CMD_GET_FW_INFO", "ISP_CMD_GET_EF32_0_INFO"},
                                    kImageQuery,
                                    kEf32Programming,
                                    {"ISP_CMD_JUMP_EF32", "ISP_CMD_GET_FW_INFO"},
                                    kEf64Programming}));
    ExpectUpdatedToSamples(s, 1);
    ExpectCleanWire(s);

    // Back in its new application code the product reports what was written into both banks:
    // current, and Ready again after the hold.
    s.Tick(8);
    EXPECT_EQ(s.Product().Mode(), ProductMode::Application);
    EXPECT_EQ(s.State().Ef64VersionClass, Ef64Class::Current);
    EXPECT_EQ(s.State().Ef32VersionClass, Ef32Class::Current);
    EXPECT_EQ(s.window.picture, StatusPicture::Ready);
}

TEST(UpdateScenario, DataComesFromTheChosenGroupsBlocksAtOffset512) {
    Scenario s(ProductPreset::ApplicationGroup2);
    ASSERT_TRUE(s.Start());
    s.Tick();
    EXPECT_EQ(s.State().FirmwareGroup, ImageGroup::Group2);  // its EF64 is at 100.0.0.0
    s.Click();
    ASSERT_TRUE(s.TickUntil([&] { return s.Logged("Updat FW.... Update complete !!"); }, 20));
    for (const auto& entry : s.platform.Trace()) {
        if (entry.command == "ISP_CMD_PUT_BINX_HEADER") {
            EXPECT_EQ(entry.source_offset, 0u);
            EXPECT_TRUE(entry.source == "162" || entry.source == "156") << entry.source;
        } else if (entry.length > 0 && entry.direction == DataDirection::Out) {
            EXPECT_EQ(entry.source_offset, 512u) << entry.command;
            EXPECT_TRUE(entry.source_fits) << entry.command;
        }
    }
    // EF32_0 is written from the product's group. Back in OTA code the group is read again from
    // the firmware just written, whose version the group table does not give to Group_2, so EF64
    // is written from Group_1.
    EXPECT_EQ(s.Product().Ef32().Identity(), sim::SampleEf32Identity(2));
    EXPECT_EQ(s.Product().Ef64().Identity(), sim::SampleEf64Identity(1));
    ExpectCleanWire(s);
}

TEST(UpdateScenario, OneRunUpdatesFromProtectedIspMask0210AndOtaCode) {
    struct Case {
        ProductPreset preset;
        std::string branch_line;
    };
    for (const Case& c : {Case{ProductPreset::ProtectIsp, "Run Code at Protect ISP EF64"},
                          Case{ProductPreset::Mask0210, "Mask 0210...."},
                          Case{ProductPreset::Ota, "Run Code at OTA "}}) {
        Scenario s(c.preset);
        ASSERT_TRUE(s.Start());
        ASSERT_TRUE(s.TickUntil([&] { return s.window.update_enabled; }, 10)) << c.branch_line;
        s.Click();
        EXPECT_TRUE(s.Logged(c.branch_line));
        EXPECT_TRUE(s.Logged("Updat FW.... Update complete !!")) << c.branch_line;
        EXPECT_EQ(s.window.progress, 0);
        EXPECT_EQ(s.State().MaskVariant, MaskCode::Mask0110);
        s.Tick(3);
        EXPECT_EQ(s.Product().Mode(), ProductMode::Application) << c.branch_line;
        EXPECT_EQ(s.Product().Ef64().Identity(), sim::SampleEf64Identity(1));
        ExpectCleanWire(s);
    }
}

TEST(UpdateScenario, AntiqueApplicationGoesThroughExecuteAndTheAutomaticRun) {
    // Its OTA firmware carries the second product line's name, which the OTA check requires.
    Scenario s(ProductPreset::ApplicationCurrent);
    ASSERT_TRUE(s.Start());
    s.Tick();  // the name is accepted once
    // The product stops answering its firmware information; Browse re-arms the checks.
    s.Product().Faults().Add(
        Fault::On(Command::GetFwInfo, FaultAction::Fail).InMode(ProductMode::Application).Always());
    s.core.OnBrowseClosed(false);
    s.Tick();
    EXPECT_EQ(s.State().Ef64VersionClass, Ef64Class::Antique);
    EXPECT_EQ(s.State().DutNameMatch, 1);
    s.Click();
    EXPECT_TRUE(s.Logged("EF64_Antique  -  ISP_CMD_EXECUTE"));
    ASSERT_TRUE(s.TickUntil([&] { return s.Logged("Updat FW.... Update complete !!"); }, 20));
    EXPECT_EQ(s.Product().Ef64().Identity(), sim::SampleEf64Identity(1));
    ExpectCleanWire(s);
}

TEST(UpdateScenario, ReplugTimeoutWhenTheProductNeverReturns) {
    Scenario s(ProductPreset::ApplicationOld);
    s.Product().Timing().return_delay_ms = 3'600'000;
    ASSERT_TRUE(s.Start());
    s.Tick();
    s.Click();
    for (int tick = 1; tick < 39; ++tick) s.Tick();
    EXPECT_FALSE(s.Logged("Updat FW.... FAIL !!(Replug Timeout)"));
    s.Tick();
    EXPECT_TRUE(s.Logged("Updat FW.... FAIL !!(Replug Timeout)"));
    EXPECT_EQ(s.window.message_boxes,
              std::vector<std::u16string>{std::u16string(kReconnectMessage)});
    EXPECT_EQ(s.window.picture, StatusPicture::Fail);
    EXPECT_EQ(s.window.progress, 0);
    EXPECT_EQ(s.window.posted_clicks, 0);
    ExpectCleanWire(s);
}

TEST(UpdateScenario, ProductBackInApplicationCodeCancelsTheRestartAndTimesOut) {
    Scenario s(ProductPreset::ApplicationOld);
    ASSERT_TRUE(s.Start());
    s.Tick();
    // The jump is taken, but the product re-enumerates in the code it left.
    s.Product().Faults().Add(Fault::On(Command::JumpEf32, FaultAction::ReplugAfter));
    s.Click();
    s.Tick(5);
    EXPECT_EQ(s.Product().Mode(), ProductMode::Application);
    EXPECT_EQ(s.State().RestartPending, 0);
    ASSERT_TRUE(s.TickUntil([&] { return s.Logged("Updat FW.... FAIL !!(Replug Timeout)"); }, 40));
    EXPECT_EQ(s.window.posted_clicks, 0);
    ExpectCleanWire(s);
}

TEST(UpdateScenario, RejectedChecksumEndsInFailureNeverComplete) {
    Scenario s(ProductPreset::Ota);
    // The erase fails every time: programmed over the old firmware, the bank does not match its
    // checksum, and the product says so with CHECK CONDITION.
    s.Product().Faults().Add(Fault::On(Command::EraseEf64Main, FaultAction::Fail).Always());
    ASSERT_TRUE(s.Start());
    s.Tick();
    s.Click();
    EXPECT_FALSE(s.Logged("Updat FW.... Update complete !!"));
    const auto tail = s.LinesFrom("EF64K*8 Main Memory Checksum");
    ASSERT_GE(tail.size(), 5u);
    EXPECT_EQ(tail[1].rfind("Device rejected the command: SCSI status 0x02", 0), 0u) << tail[1];
    EXPECT_EQ(Lines(tail.begin() + 2, tail.end()),
              (Lines{"FAIL.", "FAIL.", "Updat FW.... FAIL !!", ""}));
    EXPECT_EQ(s.window.picture, StatusPicture::Fail);
    EXPECT_EQ(s.window.message_boxes.size(), 1u);
    EXPECT_EQ(s.Product().Mode(), ProductMode::Ota);
    ExpectCleanWire(s);
}

TEST(UpdateScenario, AutomaticRunEndsInOtherCodeWhenTheOtaCheckDidNotRun) {
    Scenario s(ProductPreset::ApplicationOld);
    ASSERT_TRUE(s.Start());
    s.Tick();
    s.drop_device_events = true;  // the classes are not reset: the OTA check is skipped
    s.Click();
    ASSERT_TRUE(s.TickUntil([&] { return s.Logged("Other Code"); }, 30));
    EXPECT_FALSE(s.Logged("Check_OTA_Version_at_OTA -------------------------------------------"));
    EXPECT_EQ(s.window.message_boxes,
              std::vector<std::u16string>{std::u16string(kNotSupportedMessage)});
    EXPECT_EQ(s.Product().Mode(), ProductMode::Ota);
    ExpectCleanWire(s);
}

TEST(UpdateScenario, Mask0110IsRefusedAndHoldsFailForTwentyTicks) {
    Scenario s(ProductPreset::Mask0110);
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.TickUntil([&] { return s.window.update_enabled; }, 10));
    EXPECT_EQ(s.window.picture, StatusPicture::Ready);
    s.Click();
    EXPECT_TRUE(s.Logged("Mask 0110...."));
    s.Tick(20);
    EXPECT_EQ(s.window.picture, StatusPicture::Fail);
    s.Tick();
    EXPECT_EQ(s.window.picture, StatusPicture::Ready);
    EXPECT_EQ(s.Commands(), (Lines{"ISP_CMD_MASK_PROBE", "ISP_CMD_SELECT_AES_KEY 0x00",
                                   "ISP_CMD_SELECT_AES_KEY 0x00", "ISP_CMD_SELECT_AES_KEY 0x00"}));
    ExpectCleanWire(s);
}

TEST(UpdateScenario, TicksInsideTheFailureBoxKeepTheStateConsistent) {
    Scenario s(ProductPreset::ProtectIsp);
    s.Product().Faults().Add(Fault::On(Command::ProgramEf64Main, FaultAction::Fail).Always());
    ASSERT_TRUE(s.Start());
    s.Tick();
    int nested = 0;
    s.window.on_message_box = [&](std::u16string_view) {
        for (; nested < 3; ++nested) s.Tick();
    };
    s.Click();
    EXPECT_EQ(nested, 3);
    EXPECT_EQ(s.State().PictureHold, 2);
    EXPECT_EQ(s.window.picture, StatusPicture::Fail);
    ExpectCleanWire(s);
    // After the failure the product is found again by polling and can be updated.
    s.window.on_message_box = nullptr;
    s.Product().Faults().Clear();
    ASSERT_TRUE(s.TickUntil([&] { return s.window.update_enabled; }, 15));
    s.Click();
    EXPECT_TRUE(s.Logged("Updat FW.... Update complete !!"));
}

}  // namespace
}  // namespace torvex
