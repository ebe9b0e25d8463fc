// What the checksum commands catch: anything written that is not the image as it was built.
#include <gtest/gtest.h>

#include "simulator/product_presets.h"
#include "tests/sim/hand_procedures.h"

namespace torvex::sim {
namespace {

using namespace testing;

constexpr std::size_t kEf64MainCheck = 4;
constexpr std::size_t kEf64InfoCheck = 7;

std::vector<std::uint8_t> RunEf64(ProductPreset preset, std::vector<Step> steps,
                                  const Fault* fault = nullptr) {
    VirtualPlatform platform;
    VirtualProduct& product = platform.AddProduct(PresetConfig(preset));
    if (fault != nullptr) product.Faults().Add(*fault);
    auto statuses = Statuses(RunSteps(platform, OpenDisk(platform, 0), steps));
    EXPECT_TRUE(platform.Violations().empty());
    return statuses;
}

TEST(FlashChecksum, SkippedEraseShowsInTheMainMemoryChecksum) {
    const Fault erase_fails = Fault::On(Command::EraseEf64Main, FaultAction::Fail);
    // The OTA preset's EF64 holds older firmware: programming over it ANDs the bits.
    auto statuses = RunEf64(ProductPreset::Ota,
                            Ef64MaskOtaProcedure(MainSlice(162), InfoSlice(138)), &erase_fails);
    EXPECT_EQ(statuses[0], 0xFF);
    EXPECT_EQ(statuses[kEf64MainCheck], kScsiStatusCheckCondition);
    // Over an erased bank the failed erase changes nothing.
    statuses = RunEf64(ProductPreset::ProtectIsp,
                       Ef64ProtectProcedure(MainSlice(162), InfoSlice(138)), &erase_fails);
    EXPECT_EQ(statuses[kEf64MainCheck], kScsiStatusGood);
}

TEST(FlashChecksum, SkippedInformationPageEraseShowsInItsChecksum) {
    const Fault erase_fails = Fault::On(Command::EraseEf64Info, FaultAction::Fail);
    const auto statuses = RunEf64(
        ProductPreset::Ota, Ef64MaskOtaProcedure(MainSlice(162), InfoSlice(138)), &erase_fails);
    EXPECT_EQ(statuses[kEf64MainCheck], kScsiStatusGood);
    EXPECT_EQ(statuses[kEf64InfoCheck], kScsiStatusCheckCondition);
}

TEST(FlashChecksum, ImageOfTheOtherBankOrBlockFails) {
    // The EF32_0 image and information page written into EF64.
    auto statuses =
        RunEf64(ProductPreset::ProtectIsp, Ef64ProtectProcedure(MainSlice(156), InfoSlice(161)));
    EXPECT_EQ(statuses[kEf64MainCheck], kScsiStatusCheckCondition);
    EXPECT_EQ(statuses[kEf64InfoCheck], kScsiStatusCheckCondition);
    // Main memory taken from the block's start instead of offset 512.
    statuses = RunEf64(ProductPreset::ProtectIsp,
                       Ef64ProtectProcedure(SampleBlock(162).first(65536), InfoSlice(138)));
    EXPECT_EQ(statuses[kEf64MainCheck], kScsiStatusCheckCondition);
}

TEST(FlashChecksum, DataSentUnderTheWrongKeyFails) {
    auto steps = Ef64ProtectProcedure(MainSlice(162), InfoSlice(138));
    steps[5].cdb = {0xFF, 0x62, 0x07, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};  // not 0x1C
    // Key slot 0x07 with guard bytes is no block of protected ISP code at all.
    VirtualPlatform platform;
    platform.AddProduct(PresetConfig(ProductPreset::ProtectIsp));
    const auto statuses = Statuses(RunSteps(platform, OpenDisk(platform, 0), steps));
    EXPECT_EQ(statuses[5], 0xFF);
    EXPECT_EQ(platform.Violations().size(), 1u);
    // The information page then goes out under key 0x07, still in force.
    EXPECT_EQ(statuses[kEf64InfoCheck], kScsiStatusCheckCondition);
}

TEST(FlashChecksum, Ef32PagesAreCheckedOneByOne) {
    VirtualPlatform platform;
    VirtualProduct& product = platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
    auto steps = Ef32Procedure(MainSlice(156), InfoSlice(161), false);
    steps[6].data_out = SampleBlock(161).subspan(640, 128);  // page 1 from the wrong offset
    const auto statuses = Statuses(RunSteps(platform, OpenDisk(platform, 0), steps));
    EXPECT_EQ(statuses[2], kScsiStatusGood);
    EXPECT_EQ(statuses[5], kScsiStatusGood);
    EXPECT_EQ(statuses[7], kScsiStatusCheckCondition);
    EXPECT_EQ(product.Ef32().Identity(), SampleImageIdentity(156));
    EXPECT_FALSE(product.Ef32().HoldsValidFirmware());
}

}  // namespace
}  // namespace torvex::sim
