// Discovery and the version checks against the virtual product: what the operator reads, and
// that every command block is one the product accepts in its code.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/controller_state_update.h"
#include "firmware/ef32_version_checks.h"
#include "firmware/ef64_version_check.h"
#include "simulator/sample_firmware.h"
#include "tests/scenario/scenario_harness.h"

namespace torvex {
namespace {

using sim::Command;
using sim::Fault;
using sim::FaultAction;
using sim::ProductPreset;
using testing::Scenario;
using Lines = std::vector<std::string>;

void ExpectCleanWire(const Scenario& s) {
    EXPECT_TRUE(s.platform.Violations().empty()) << s.platform.Violations().front().reason;
    EXPECT_EQ(s.platform.OpenHandleCount(), 0u);
    EXPECT_EQ(s.platform.BadCloseCount(), 0u);
}

// Starts the tool and forgets the start-up log.
void StartQuietly(Scenario& s) {
    ASSERT_TRUE(s.Start());
    s.window.ClearLog();
    s.platform.ClearTrace();
}

TEST(DiscoveryScenario, ApplicationCodeAmongDisksThatAreNotTheProduct) {
    Scenario s;
    s.platform.AddPlainDisk(sim::PlainDisk::NonUsb());
    s.platform.AddPlainDisk(sim::PlainDisk::Usb(0x0A81, 0x0322, "STICK1"));
    s.platform.AddProduct(sim::PresetConfig(ProductPreset::ApplicationOld));
    ASSERT_TRUE(s.Start());
    // The other USB disk is named and passed by; the disk that is not on USB gives no line.
    const Lines lines = s.window.Utf8Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3),
              (Lines{"VID:0A81 PID:0322", "SN:STICK1", "VID:2175 PID:5001"}));
    EXPECT_EQ(lines.back(), "USB device found!");
    EXPECT_EQ(s.State().RunMode, kRunModeAppOrOta);
    EXPECT_EQ(s.State().DevicePath, s.platform.PathOf(2));
    EXPECT_TRUE(s.platform.Trace().empty());  // discovery never talks to a disk
    ExpectCleanWire(s);
}

TEST(DiscoveryScenario, ProductHeldByAnotherProgram) {
    Scenario s(ProductPreset::ProtectIsp);
    s.platform.SetHeldByOtherProgram(0, true);
    ASSERT_TRUE(s.Start());
    EXPECT_TRUE(s.Logged("Open U-KDISK USB device failed."));
    EXPECT_TRUE(s.Logged("Reason: the disk is held open by another program (error 32)"));
    EXPECT_EQ(s.window.Utf8Lines().back(), "USB device not found!");
    EXPECT_EQ(s.State().RunMode, kRunModeNoDevice);
    EXPECT_TRUE(s.State().DevicePath.empty());
    EXPECT_EQ(s.platform.FailedOpenCount(), 1u);
    EXPECT_TRUE(s.platform.Trace().empty());
}

// Another program takes the product after discovery: the checks wait for it instead of classing
// its firmware Antique (which would send ISP_CMD_EXECUTE and rewrite EF64 whatever its version).
TEST(VersionCheckScenario, ACheckThatCannotOpenTheProductWaitsForIt) {
    Scenario s(ProductPreset::ApplicationCurrent);
    StartQuietly(s);
    s.platform.SetHeldByOtherProgram(0, true);
    s.Tick(3);
    EXPECT_EQ(s.State().Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(s.State().Ef32VersionClass, Ef32Class::Unchecked);
    EXPECT_TRUE(s.platform.Trace().empty());
    EXPECT_TRUE(s.Logged("Reason: the disk is held open by another program (error 32)"));

    s.platform.SetHeldByOtherProgram(0, false);
    s.Tick();
    EXPECT_EQ(s.State().Ef64VersionClass, Ef64Class::Current);
    s.Click();
    ASSERT_FALSE(s.window.message_boxes.empty());
    EXPECT_EQ(s.window.message_boxes.back(), u"Your device is already updated.");
    const auto commands = s.Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "ISP_CMD_EXECUTE"), 0);
    ExpectCleanWire(s);
}

struct Ef32BankCase {
    ProductPreset preset;
    const char* verdict_line;
    Ef32Class ef32_class;
};

TEST(VersionCheckScenario, Ef32BankStatesAtApplication) {
    for (const Ef32BankCase& c :
         {Ef32BankCase{ProductPreset::ApplicationEf32Erased, "Device EF32_0 is  'No_Code'",
                       Ef32Class::NoCode},
          Ef32BankCase{ProductPreset::ApplicationEf32Protect, "Device EF32_0 FW is  'Protect'",
                       Ef32Class::Protect},
          Ef32BankCase{ProductPreset::ApplicationEf32BadTag,
                       "EF32_0 Tag FAIL, Set Device EF32_0 is  'No_Code'", Ef32Class::NoCode}}) {
        SCOPED_TRACE(std::string(sim::PresetName(c.preset)));
        Scenario s(c.preset);
        StartQuietly(s);
        Check_OTA_Version_at_Application(s.core.Context());
        EXPECT_EQ(s.window.Utf8Lines().back(), c.verdict_line);
        EXPECT_EQ(s.State().Ef32VersionClass, c.ef32_class);
        EXPECT_EQ(s.Commands(), Lines{"ISP_CMD_GET_EF32_0_INFO"});
        ExpectCleanWire(s);
    }
}

TEST(VersionCheckScenario, OtaCodeOfTheSecondLineInGroup2) {
    Scenario s(ProductPreset::OtaGroup2);
    ASSERT_TRUE(s.Start());
    EXPECT_TRUE(s.Logged("Run Code at OTA Code"));
    s.window.ClearLog();
    s.platform.ClearTrace();
    Check_OTA_Version_at_OTA(s.core.Context());
    EXPECT_TRUE(s.Logged("Device EF32_0 FW Version:   50000"));
    EXPECT_EQ(s.State().Ef32VersionClass, Ef32Class::Old);
    EXPECT_EQ(s.State().DutNameMatch, 1);
    EXPECT_EQ(s.State().FirmwareGroup, ImageGroup::Group2);
    EXPECT_EQ(s.Commands(), Lines{"ISP_CMD_GET_FW_INFO"});
    ExpectCleanWire(s);
}

TEST(VersionCheckScenario, GarbageImageIdentityIsRefused) {
    Scenario s(ProductPreset::ApplicationOld);
    StartQuietly(s);
    s.Product().Faults().Add(Fault::On(Command::GetBinxInfo, FaultAction::GarbageReply));
    Check_Application_Version_Combine(s.core.Context());
    EXPECT_EQ(s.window.Utf8Lines().size(), 4u);  // the banner and the image's three lines
    EXPECT_EQ(s.window.message_boxes.size(), 1u);
    EXPECT_EQ(s.State().FirmwareAccepted, 0);
    EXPECT_EQ(s.State().Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(s.Commands().back(), "ISP_CMD_GET_BINX_INFO");  // no device read after it
    ExpectCleanWire(s);
}

TEST(VersionCheckScenario, GarbageDeviceIdentityIsClassedWithoutHarm) {
    Scenario s(ProductPreset::ApplicationOld);
    StartQuietly(s);
    s.Product().Faults().Add(Fault::On(Command::GetFwInfo, FaultAction::GarbageReply));
    s.Product().Faults().Add(Fault::On(Command::GetEf32Info, FaultAction::GarbageReply));
    ToolContext& context = s.core.Context();
    Check_Application_Version_Combine(context);
    Check_OTA_Version_at_Application(context);
    // The image's number was taken before the garbage landed in the shared buffer.
    EXPECT_TRUE(s.Logged("BinX File FW Version:   100205"));
    EXPECT_GE(s.State().Ef64VersionClass, Ef64Class::Old);
    EXPECT_LE(s.State().Ef64VersionClass, Ef64Class::New);
    EXPECT_NE(s.State().Ef32VersionClass, Ef32Class::Unchecked);
    EXPECT_LE(s.State().Ef32VersionClass, Ef32Class::New);
    EXPECT_NE(s.State().FirmwareGroup, ImageGroup::Unchecked);
    EXPECT_TRUE(s.window.message_boxes.empty());
    ExpectCleanWire(s);
}

}  // namespace
}  // namespace torvex
