// Bad input from every side, through the whole tool: firmware blocks that are missing or too
// short, a product that answers with fewer bytes than asked, and a disk that is listed but gone
// by the time it is opened. Each gets a clear, defined result and nothing is sent that should not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "app/dialog_core.h"
#include "device/forwarding_platform.h"
#include "tests/scenario/fault_matrix_harness.h"
#include "tests/support/case_printing.h"

namespace torvex {
namespace {

using sim::Command;
using sim::ProductMode;
using sim::ProductPreset;
using testing::Ending;
using testing::FaultBranch;
using testing::FaultRun;
using Lines = std::vector<std::string>;

// True when `expected` appears in the log in this order (other lines may come between).
bool LoggedInOrder(const testing::Scenario& s, const Lines& expected) {
    const Lines lines = s.window.Utf8Lines();
    auto at = lines.begin();
    for (const std::string& line : expected) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

void ExpectCleanWire(const testing::Scenario& s) {
    EXPECT_TRUE(s.platform.Violations().empty()) << sim::Describe(s.platform.Violations()[0]);
    EXPECT_EQ(s.platform.OpenHandleCount(), 0u);
    EXPECT_EQ(s.platform.BadCloseCount(), 0u);
}

// --- Firmware blocks -------------------------------------------------------------------------

using testing::PrintTo;

struct BlockCase {
    const char* what;
    std::uint16_t id;
    bool missing;  // not found at all; otherwise one byte too short to be loaded
    ProductPreset preset;
    Ending ending;
};

std::string BlockCaseName(const ::testing::TestParamInfo<BlockCase>& info) {
    std::string name = info.param.what;
    std::replace_if(
        name.begin(), name.end(),
        [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) == 0; }, '_');
    return name;
}

class FirmwareBlockFault : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FirmwareBlockFault, IsReportedAndNothingIsSentFromIt) {
    const BlockCase& c = GetParam();
    const FaultBranch branch{c.what, c.preset, false};
    FaultRun run(branch, [&](testing::Scenario& s) {
        if (c.missing)
            s.blocks.blocks.erase(c.id);
        else
            s.blocks.blocks[c.id].resize(RequiredFirmwareBlockSize(c.id) - 1);
    });
    testing::Scenario& s = run.scenario;
    sim::VirtualProduct& product = s.Product();
    const bool ef64_valid = product.Ef64().HoldsValidFirmware();
    const bool ef32_valid = product.Ef32().HoldsValidFirmware();

    ASSERT_FALSE(s.window.message_boxes.empty());
    EXPECT_EQ(s.window.message_boxes[0], c.missing ? u"findresource" : u"loadresource");
    EXPECT_EQ(run.started, !c.missing);
    if (c.missing) {
        // No timer: the tool stops at its start-up and never talks to the product.
        EXPECT_EQ(s.window.message_boxes.size(), 1u);
        EXPECT_TRUE(s.platform.Trace().empty());
        return;
    }
    EXPECT_EQ(run.Update(), c.ending) << run.Diagnosis();
    s.Tick(3);

    for (const sim::TraceEntry& entry : s.platform.Trace())
        EXPECT_NE(entry.source, std::to_string(c.id)) << sim::Describe(entry);
    // A bank is never erased for an image that cannot be written.
    EXPECT_TRUE(!ef64_valid || product.Ef64().HoldsValidFirmware());
    EXPECT_TRUE(!ef32_valid || product.Ef32().HoldsValidFirmware());
    ExpectCleanWire(s);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FirmwareBlockFault, ::testing::Values(
    // The EF64 identity query cannot be made: Antique with its name never tested, "Other Code".
    BlockCase{"EF64 Group_1 image short", kEf64ImageGroup1Id, false,
              ProductPreset::ApplicationOld, Ending::NotSupported},
    // An OTA product of Group_2 has no EF64 image to take: the step fails before any erase.
    BlockCase{"EF64 Group_2 image short", kEf64ImageGroup2Id, false, ProductPreset::OtaGroup2,
              Ending::Failure},
    BlockCase{"EF64 information block short", kEf64InfoBlockId, false,
              ProductPreset::Ota, Ending::Failure},
    BlockCase{"EF32_0 information block short", kEf32InfoBlockId, false,
              ProductPreset::ApplicationOld, Ending::Failure},
    // The EF32_0 class stays unchecked: the first run writes nothing and the wait times out.
    BlockCase{"EF32_0 Group_1 image short", kEf32ImageGroup1Id, false,
              ProductPreset::ApplicationOld, Ending::ReplugTimeout},
    BlockCase{"EF32_0 Group_2 image missing", kEf32ImageGroup2Id, true,
              ProductPreset::ApplicationOld, Ending::None}),
    BlockCaseName);
// clang-format on

// --- Short replies ---------------------------------------------------------------------------

struct ShortReplyCase {
    const char* what;
    Command command;
    ProductMode mode;
    std::uint32_t reply_bytes;
    Lines lines;  // logged in this order
    Ending ending;
};

std::string ShortReplyName(const ::testing::TestParamInfo<ShortReplyCase>& info) {
    return info.param.what;
}

class ShortReply : public ::testing::TestWithParam<ShortReplyCase> {};

// Bytes that do not arrive read as zero, never as what an earlier reply left in the buffer (the
// carried image's identity would make an old product look current).
TEST_P(ShortReply, MissingBytesReadAsZero) {
    const ShortReplyCase& c = GetParam();
    FaultRun run(testing::FaultBranches()[0]);  // application code, old firmware
    sim::Fault fault = sim::Fault::On(c.command, sim::FaultAction::ShortReply).InMode(c.mode);
    fault.reply_bytes = c.reply_bytes;
    run.scenario.Product().Faults().Add(fault);

    EXPECT_EQ(run.Update(), c.ending) << run.Diagnosis();
    EXPECT_TRUE(LoggedInOrder(run.scenario, c.lines)) << run.Diagnosis();
    EXPECT_TRUE(c.ending != Ending::Success || run.BanksHoldTheSamples());
    run.Idle(3);
    ExpectCleanWire(run.scenario);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ShortReply, ::testing::Values(
    ShortReplyCase{"NoByteOfTheEf64Information", Command::GetFwInfo, ProductMode::Application, 0,
                   {"Device EF64 FW, Tag: 0.0.0.0,  Version: 0.0.0.0 ", "Device EF64 FW Name: ",
                    "Device EF64 FW Version is  'Old'", "Compare_DUT_FW_Name FAIL ",
                    "EF64_Old"},
                   Ending::Success},
    ShortReplyCase{"Ef64InformationWithoutItsName", Command::GetFwInfo, ProductMode::Application,
                   32,
                   {"Device EF64 FW, Tag: 1.2.3.4,  Version: 100.1.0.0 ", "Device EF64 FW Name: ",
                    "Compare_DUT_FW_Name FAIL ", "Compare_DUT_FW_Name 2 FAIL "},
                   Ending::Success},
    ShortReplyCase{"Ef32InformationCutInsideItsTag", Command::GetEf32Info,
                   ProductMode::Application, 10,
                   {"Device EF32_0 FW, Tag: 7.8.9.0,  Version: 0.0.0.0 ",
                    "EF32_0 Tag FAIL, Set Device EF32_0 is  'No_Code'"},
                   Ending::Success},
    ShortReplyCase{"ImageIdentityCutBeforeItsMajorVersion", Command::GetBinxInfo,
                   ProductMode::Application, 11,
                   {"BINX File FW, Tag: 1.2.3.4,  Version: 0.0.0.0 "},
                   Ending::FirmwareRejected},
    ShortReplyCase{"OtaInformationWithoutItsName", Command::GetFwInfo, ProductMode::Ota, 32,
                   {"Device EF32_0 FW, Tag: 7.8.9.10,  Version: 50.2.0.5 ",
                    "Device EF32_0 FW Name: ", "Compare_DUT_FW_Name FAIL ", "Other Code"},
                   Ending::NotSupported}),
    ShortReplyName);
// clang-format on

// --- A disk that is gone when discovery opens it -------------------------------------------

// Lists what the virtual product's platform lists, then takes the product away before discovery
// can open it, as a product unplugged at that moment would be.
class GoneAfterListing : public ForwardingPlatform {
  public:
    explicit GoneAfterListing(sim::VirtualPlatform& platform)
        : ForwardingPlatform(platform), platform_(platform) {}
    DiskListing ListDiskInterfaces() override {
        DiskListing listing = platform_.ListDiskInterfaces();
        if (unplug_after_listing) platform_.Unplug(0);
        unplug_after_listing = false;
        return listing;
    }
    bool unplug_after_listing = true;

  private:
    sim::VirtualPlatform& platform_;
};

TEST(DiskGoneDuringDiscovery, IsNotFoundAndIsFoundAgainWhenBack) {
    testing::MemoryFirmwareBlocks blocks = testing::SampleFirmwareBlocks();
    testing::RecordingWindow window;
    sim::VirtualPlatform platform;
    platform.AddProduct(sim::PresetConfig(ProductPreset::ApplicationOld));
    GoneAfterListing gone(platform);
    DialogCore core(window, gone, blocks);
    const auto tick = [&](int count) {
        for (int i = 0; i < count; ++i) {
            platform.AdvanceClock(1000);
            for (const auto& event : platform.TakeEvents()) core.OnDeviceChange(event.type);
            core.OnReplugTimer();
        }
    };

    ASSERT_TRUE(core.OnInitDialog());
    const Lines lines = window.Utf8Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Open U-KDISK USB device failed."),
              lines.end());
    EXPECT_EQ(lines.back(), "USB device not found!");
    EXPECT_EQ(core.State().RunMode, kRunModeNoDevice);
    EXPECT_EQ(core.State().DeviceFound, 0u);
    // Its removal and the polls that follow find nothing; nothing is sent, nothing is offered.
    tick(12);
    EXPECT_TRUE(platform.Trace().empty());
    EXPECT_FALSE(window.update_enabled);
    EXPECT_EQ(window.picture, StatusPicture::Standby);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);

    // Plugged in again, it is found and checked as usual, and the update is offered.
    platform.Plug(0);
    tick(1);
    EXPECT_TRUE(window.update_enabled);
    EXPECT_EQ(core.State().Ef64VersionClass, Ef64Class::Old);
    EXPECT_EQ(core.State().Ef32VersionClass, Ef32Class::Old);
    EXPECT_TRUE(platform.Violations().empty());
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
    EXPECT_EQ(platform.BadCloseCount(), 0u);
}

}  // namespace
}  // namespace torvex
