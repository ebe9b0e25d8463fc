// The EF64 procedure in both command sets: blocks on the wire, log, progress, failures.
#include <gtest/gtest.h>

#include "programming/ef64_programming.h"
#include "tests/support/core_fixture.h"

namespace torvex {
namespace {

using testing::CoreFixture;
using testing::ScriptedPlatform;
using Lines = std::vector<std::string>;

const Lines kMaskOtaBlocks = {
    "FF 52 00 00 00 00 00 00 00 00 00 00 00 00 00 00",  // erase main
    "FF 53 00 00 00 00 00 00 00 00 00 00 00 00 00 00",  // erase info
    "FF 62 07 00 00 00 00 00 00 00 00 00 00 00 00 00",  // key 0x07
    "FF 5A 00 00 00 00 00 00 00 00 00 00 00 00 00 00",  // program main
    "FF 58 00 00 00 00 00 00 00 00 00 00 00 00 00 00",  // checksum main
    "FF 62 1C 00 00 00 00 00 00 00 00 00 00 00 00 00",  // key 0x1C
    "FF 5B 00 00 00 00 00 00 00 00 00 00 00 00 00 00",  // program info
    "FF 59 00 00 00 00 00 00 00 00 00 00 00 00 00 00",  // checksum info
    "FF 56 00 00 00 00 00 00 00 00 00 00 00 00 00 00",  // jump
};

const Lines kProtectBlocks = {
    "FF 52 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    "FF 53 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    "FF 62 07 00 00 00 00 00 00 00 00 00 00 00 00 00",
    "FF 50 00 00 00 00 00 01 02 03 04 05 06 07 08 09",
    "FF 58 00 00 00 00 00 01 02 03 04 05 06 07 08 09",
    "FF 62 1C 00 00 00 00 01 02 03 04 05 06 07 08 09",
    "FF 5A 00 00 00 00 00 01 02 03 04 05 06 07 08 09",
    "FF 59 00 00 00 00 00 01 02 03 04 05 06 07 08 09",
    "FF 56 00 00 00 00 00 01 02 03 04 05 06 07 08 09",
};

// The lines both variants log between the banner and the jump.
const Lines kStepLines = {
    "Erase EF64*8 Main Memory",         "Erase EF64*8 Information Page",    "Select AES Key",
    "Program EF64K*8 Main Memory",      "EF64K*8 Main Memory Checksum",     "Select AES Key",
    "Program EF64K*8 Information Page", "EF64K*8 Information Page Checksum"};

Lines Log(std::initializer_list<const char*> before, const char* jump_line) {
    Lines lines(before.begin(), before.end());
    lines.insert(lines.end(), kStepLines.begin(), kStepLines.end());
    lines.push_back(jump_line);
    return lines;
}

BankSlices Ef64Slices(CoreFixture& f, std::span<const std::uint8_t> image_block) {
    return {MainMemorySlice(image_block), InformationPageSlice(f.images.Ef64InfoBlock)};
}
int RunMaskOta(CoreFixture& f, std::span<const std::uint8_t> image_block) {
    return Run_Code_at_Mask0210_or_OTA_ISP_EF64(f.OpenProduct(), f.window,
                                                Ef64Slices(f, image_block));
}

struct Ef64Test : ::testing::Test, CoreFixture {
    int MaskOta(std::span<const std::uint8_t> image_block) {
        return RunMaskOta(*this, image_block);
    }
    int Protect(std::span<const std::uint8_t> image_block) {
        return Run_Code_at_Protect_ISP_EF64(OpenProduct(), window, Ef64Slices(*this, image_block));
    }
};

TEST_F(Ef64Test, MaskOtaVariantSendsItsBlocksLogsAndFiveSteps) {
    EXPECT_EQ(MaskOta(images.Ef64ImageGroup2), 1);
    EXPECT_EQ(SentBlocks(), kMaskOtaBlocks);
    EXPECT_EQ(window.Utf8Lines(),
              Log({"Run Code at Mask0210 or OTA ISP EF64"}, "Jump to EFlash 64*8"));
    EXPECT_EQ(window.progress_steps, 5);
}

TEST_F(Ef64Test, ProtectVariantCarriesGuardBytesFromTheMainMemoryStepOnWithoutABanner) {
    EXPECT_EQ(Protect(images.Ef64ImageGroup1), 1);
    EXPECT_EQ(SentBlocks(), kProtectBlocks);
    EXPECT_EQ(window.Utf8Lines(), Log({}, "Jump to EFlash"));
    EXPECT_EQ(window.progress_steps, 5);
}

TEST_F(Ef64Test, DataComesFromOffset512OfTheGivenBlocksInPlace) {
    MaskOta(images.Ef64ImageGroup2);
    const auto& requests = platform.requests;
    ASSERT_EQ(requests.size(), 9u);
    EXPECT_EQ(requests[3].data_out, blocks.blocks[163].data() + 512);
    EXPECT_EQ(requests[3].length, 65536u);
    EXPECT_EQ(requests[3].direction, DataDirection::Out);
    EXPECT_EQ(requests[6].data_out, blocks.blocks[138].data() + 512);
    EXPECT_EQ(requests[6].length, 128u);
    // Commands without data: erase, key and checksum name the shared buffer and direction in;
    // the jump names no buffer and direction out.
    for (int i : {0, 1, 2, 4, 5, 7}) {
        EXPECT_EQ(requests[i].length, 0u) << i;
        EXPECT_EQ(requests[i].direction, DataDirection::In) << i;
        EXPECT_EQ(requests[i].data_in, shared_buffer.data()) << i;
    }
    EXPECT_EQ(requests[8].direction, DataDirection::Out);
    EXPECT_EQ(requests[8].data_in, nullptr);
    EXPECT_EQ(requests[8].data_out, nullptr);
}

// Failing request index (the first attempt of each command, counted over the attempts sent).
struct FailureCase {
    const char* name;
    int failing_command;  // 0..8
    int expected_result;
    int expected_steps;
    std::size_t expected_commands;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class Ef64FailureTest : public ::testing::TestWithParam<FailureCase>, public CoreFixture {};

TEST_P(Ef64FailureTest, StepFailureStopsOrPassesAsSpecified) {
    const FailureCase& c = GetParam();
    // Every attempt of the failing command fails; the others are delivered.
    for (int i = 0; i < c.failing_command; ++i)
        platform.script.push_back(ScriptedPlatform::Delivered());
    for (int i = 0; i < 3; ++i) platform.script.push_back(ScriptedPlatform::Failed());
    EXPECT_EQ(RunMaskOta(*this, images.Ef64ImageGroup1), c.expected_result);
    EXPECT_EQ(window.progress_steps, c.expected_steps);
    EXPECT_EQ(platform.requests.size(), c.expected_commands + 2);  // two retries of the failing one
    const auto lines = window.Utf8Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "FAIL."), c.failing_command == 8 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Ef64FailureTest,
    ::testing::Values(
        FailureCase{"EraseMainPasses", 0, 1, 5, 9}, FailureCase{"EraseInfoPasses", 1, 1, 5, 9},
        FailureCase{"KeyStops", 2, 0, 0, 3}, FailureCase{"ProgramMainStops", 3, 0, 1, 4},
        FailureCase{"ChecksumMainStopsAfterTwoSteps", 4, 0, 2, 5},
        FailureCase{"InfoKeyStops", 5, 0, 2, 6}, FailureCase{"ProgramInfoStops", 6, 0, 3, 7},
        FailureCase{"ChecksumInfoStopsAfterFourSteps", 7, 0, 4, 8},
        FailureCase{"JumpOutcomeIgnored", 8, 1, 5, 9}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(Ef64Test, BothErasesFailingStillReachesTheJump) {
    for (int i = 0; i < 6; ++i) platform.script.push_back(ScriptedPlatform::Failed());
    EXPECT_EQ(Protect(images.Ef64ImageGroup1), 1);
    const auto lines = window.Utf8Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "FAIL."), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "SendSCSICommand FAIL : >0x0<"), 6);
}

TEST_F(Ef64Test, ChecksumRejectedWithCheckConditionFailsTheStep) {
    for (int i = 0; i < 4; ++i) platform.script.push_back(ScriptedPlatform::Delivered());
    PassThroughResult rejected = ScriptedPlatform::Delivered(kScsiStatusCheckCondition);
    rejected.sense_length = 18;
    rejected.sense[0] = 0x70;
    rejected.sense[2] = 0x03;
    rejected.sense[12] = 0x11;
    platform.script.push_back(rejected);
    EXPECT_EQ(MaskOta(images.Ef64ImageGroup1), 0);
    const auto lines = window.Utf8Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              "Device rejected the command: SCSI status 0x02, sense key 0x3, ASC 0x11, ASCQ 0x00");
    EXPECT_EQ(lines.back(), "FAIL.");
    EXPECT_EQ(platform.requests.size(), 5u);  // delivered, so not retried
}

TEST_F(Ef64Test, CheckConditionOnAnEraseOrKeyKeepsTheOriginalTreatment) {
    platform.script = {ScriptedPlatform::Delivered(kScsiStatusCheckCondition),
                       ScriptedPlatform::Delivered(kScsiStatusCheckCondition),
                       ScriptedPlatform::Delivered(kScsiStatusCheckCondition)};
    EXPECT_EQ(MaskOta(images.Ef64ImageGroup1), 1);
}

TEST_F(Ef64Test, AbsentImageBlockSendsNothing) {
    images.Ef64InfoBlock = {};
    EXPECT_EQ(Protect(images.Ef64ImageGroup1), 0);
    EXPECT_TRUE(platform.requests.empty());
    EXPECT_EQ(window.Utf8Lines().back(), "FAIL.");
    window.ClearLog();
    images = {};
    EXPECT_EQ(MaskOta({}), 0);
    EXPECT_TRUE(platform.requests.empty());
}

}  // namespace
}  // namespace torvex
