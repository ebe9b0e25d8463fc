// The EF32_0 procedure: blocks with carried-over bytes, both pages from one slice, the jump.
#include <gtest/gtest.h>

#include "programming/ef32_programming.h"
#include "tests/support/core_fixture.h"

namespace torvex {
namespace {

using testing::CoreFixture;
using testing::ScriptedPlatform;
using Lines = std::vector<std::string>;

const Lines kEf32Blocks = {
    "FF 62 07 00 00 00 00 00 00 00 00 00 00 00 00 00",  // key 0x07
    "FF 29 00 00 00 00 00 01 02 03 04 05 06 07 08 09",  // program main, chunk 0
    "FF 24 00 00 00 00 00 01 02 03 04 05 06 07 08 09",  // checksum main
    "FF 62 1C 00 00 00 00 01 02 03 04 05 06 07 08 09",  // key 0x1C
    "FF 2A 00 00 00 00 00 01 02 03 04 05 06 07 08 09",  // page 0
    "FF 25 00 00 00 00 00 01 02 03 04 05 06 07 08 09",
    "FF 2A 01 00 00 00 00 01 02 03 04 05 06 07 08 09",  // page 1
    "FF 25 01 00 00 00 00 01 02 03 04 05 06 07 08 09",
    "FF 27 01 00 00 00 00 01 02 03 04 05 06 07 08 09",  // jump keeps byte 2 of page 1
};

const Lines kEf32Log = {"Run_Code_at_EF64_ISP_EF32_0_OTA",
                        "Select AES Key",
                        "ISP EF32_0 Main Memory",
                        "0th * 64KB",
                        "Check EF32_0 Main Memory Checksum",
                        "Select AES Key",
                        "ISP EF32 Information Page_0",
                        "Check EF32 Information Page_0 Checksum",
                        "ISP EF32 Information Page_1",
                        "Check EF32 Information Page_1 Checksum",
                        "Jump to EFlash"};

int RunEf32(CoreFixture& f, std::span<const std::uint8_t> image_block) {
    const BankSlices slices{MainMemorySlice(image_block),
                            InformationPageSlice(f.images.Ef32InfoBlock)};
    return Run_Code_at_EF64_ISP_EF32_0_OTA(f.OpenProduct(), f.window, slices, f.state.MaskVariant);
}

struct Ef32Test : ::testing::Test, CoreFixture {
    int Run(std::span<const std::uint8_t> image_block) { return RunEf32(*this, image_block); }
};

TEST_F(Ef32Test, FullRunBlocksLogAndThreeProgressSteps) {
    EXPECT_EQ(Run(images.Ef32ImageGroup1), 1);
    EXPECT_EQ(SentBlocks(), kEf32Blocks);
    EXPECT_EQ(window.Utf8Lines(), kEf32Log);
    EXPECT_EQ(window.progress_steps, 3);
}

TEST_F(Ef32Test, BothPagesFromOffset512OfTheInformationBlock) {
    Run(images.Ef32ImageGroup2);
    const auto& r = platform.requests;
    ASSERT_EQ(r.size(), 9u);
    EXPECT_EQ(r[1].data_out, blocks.blocks[164].data() + 512);
    EXPECT_EQ(r[1].length, 65536u);
    EXPECT_EQ(r[4].data_out, blocks.blocks[161].data() + 512);
    EXPECT_EQ(r[6].data_out, blocks.blocks[161].data() + 512);  // not 640
    EXPECT_EQ(r[6].length, 128u);
    for (int i : {2, 5, 7, 8}) {  // checksums and jump: out, no buffer
        EXPECT_EQ(r[i].direction, DataDirection::Out) << i;
        EXPECT_EQ(r[i].data_out, nullptr) << i;
        EXPECT_EQ(r[i].length, 0u) << i;
    }
    for (int i : {0, 3}) {  // key selections: in, shared buffer
        EXPECT_EQ(r[i].direction, DataDirection::In) << i;
        EXPECT_EQ(r[i].data_in, shared_buffer.data()) << i;
    }
}

TEST_F(Ef32Test, Mask0210LeavesOutTheJumpAndStillSucceeds) {
    state.MaskVariant = MaskCode::Mask0210;
    EXPECT_EQ(Run(images.Ef32ImageGroup1), 1);
    EXPECT_EQ(platform.requests.size(), 8u);
    EXPECT_EQ(window.Utf8Lines().back(), "Check EF32 Information Page_1 Checksum");
}

TEST_F(Ef32Test, FirstKeyFailingStopsBeforeAnyDataWithoutProgress) {
    platform.script = {ScriptedPlatform::Failed(), ScriptedPlatform::Failed(),
                       ScriptedPlatform::Failed()};
    EXPECT_EQ(Run(images.Ef32ImageGroup1), 0);
    EXPECT_EQ(platform.requests.size(), 3u);
    EXPECT_EQ(window.progress_steps, 0);
    EXPECT_EQ(window.Utf8Lines().back(), "FAIL.");
}

TEST_F(Ef32Test, EveryStepBeforeTheJumpIsFatal) {
    for (int failing = 1; failing < 8; ++failing) {
        CoreFixture f;
        for (int i = 0; i < failing; ++i)
            f.platform.script.push_back(ScriptedPlatform::Delivered());
        for (int i = 0; i < 3; ++i) f.platform.script.push_back(ScriptedPlatform::Failed());
        EXPECT_EQ(RunEf32(f, f.images.Ef32ImageGroup1), 0) << failing;
        EXPECT_EQ(f.platform.requests.size(), static_cast<std::size_t>(failing + 3)) << failing;
    }
}

TEST_F(Ef32Test, JumpFailingStillSucceeds) {
    for (int i = 0; i < 8; ++i) platform.script.push_back(ScriptedPlatform::Delivered());
    for (int i = 0; i < 3; ++i) platform.script.push_back(ScriptedPlatform::Failed());
    EXPECT_EQ(Run(images.Ef32ImageGroup1), 1);
}

TEST_F(Ef32Test, ChecksumRejectedFailsTheRun) {
    platform.script = {ScriptedPlatform::Delivered(), ScriptedPlatform::Delivered(),
                       ScriptedPlatform::Delivered(kScsiStatusCheckCondition)};
    EXPECT_EQ(Run(images.Ef32ImageGroup1), 0);
    EXPECT_EQ(platform.requests.size(), 3u);
}

TEST_F(Ef32Test, AbsentInformationBlockSendsNothing) {
    images.Ef32InfoBlock = {};
    EXPECT_EQ(Run(images.Ef32ImageGroup1), 0);
    EXPECT_TRUE(platform.requests.empty());
}

}  // namespace
}  // namespace torvex
