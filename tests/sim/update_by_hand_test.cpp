// The update from mask code 0210 (both banks in one visit) and the image query, sent by hand
// from the command tables: each bank reports the identity of the image written into it.
#include <gtest/gtest.h>

#include "simulator/product_presets.h"
#include "simulator/sample_firmware.h"
#include "tests/sim/hand_procedures.h"

namespace torvex::sim {
namespace {

using namespace testing;

void ExpectNoViolations(const VirtualPlatform& platform) {
    for (const auto& v : platform.Violations()) ADD_FAILURE() << Describe(v);
}

TEST(UpdateByHand, FromMaskCode0210InOneVisit) {
    VirtualPlatform platform;
    VirtualProduct& product = platform.AddProduct(PresetConfig(ProductPreset::Mask0210));
    const DeviceHandle handle = OpenDisk(platform, 0);
    auto steps = Ef32Procedure(MainSlice(164), InfoSlice(161), false);
    const auto ef64 = Ef64MaskOtaProcedure(MainSlice(162), InfoSlice(138));
    steps.insert(steps.end(), ef64.begin(), ef64.end());
    EXPECT_EQ(Statuses(RunSteps(platform, handle, steps)),
              std::vector<std::uint8_t>(17, kScsiStatusGood));
    platform.Close(handle);
    ExpectNoViolations(platform);
    platform.AdvanceClock(product.Timing().return_delay_ms);
    EXPECT_EQ(product.Mode(), ProductMode::Application);
    EXPECT_EQ(product.Ef64().Identity(), SampleEf64Identity(1));
    EXPECT_EQ(product.Ef32().Identity(), SampleEf32Identity(2));
}

TEST(UpdateByHand, ImageQueryReportsTheIdentityOfTheSliceSent) {
    for (std::uint16_t id : std::vector<std::uint16_t>{162, 156, 163, 164}) {
        SCOPED_TRACE(id);
        VirtualPlatform platform;
        platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
        const DeviceHandle handle = OpenDisk(platform, 0);
        Wire wire(platform, handle);
        std::vector<std::uint8_t> reply(64);
        ASSERT_TRUE(wire.In(kSelectKeyMain, 0, reply.data()).delivered);
        ASSERT_TRUE(wire.Out(kPutBinxHeader, SampleBlock(id).first(2048)).delivered);
        ASSERT_TRUE(wire.In(kGetBinxInfo, 64, reply.data()).delivered);
        EXPECT_EQ(reply, Bytes(SampleImageIdentity(id)));
    }
}

TEST(UpdateByHand, ImageHeaderUnderTheWrongKeyDecodesToGarbage) {
    VirtualPlatform platform;
    platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
    Wire wire(platform, OpenDisk(platform, 0));
    std::vector<std::uint8_t> reply(64);
    // Key slot 0x1C (the information pages' key) instead of 0x07.
    ASSERT_TRUE(wire.In({0xFF, 0x62, 0x1C, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0, reply.data())
                    .delivered);
    ASSERT_TRUE(wire.Out(kPutBinxHeader, SampleBlock(162).first(2048)).delivered);
    ASSERT_TRUE(wire.In(kGetBinxInfo, 64, reply.data()).delivered);
    EXPECT_NE(reply, Bytes(SampleImageIdentity(162)));
    EXPECT_NE(reply[11], 100);  // the major version the tool insists on is gone
}

}  // namespace
}  // namespace torvex::sim
