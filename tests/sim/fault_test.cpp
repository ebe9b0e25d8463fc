// Faults on demand: each shows on the wire as the tool would see it from a real product.
#include <gtest/gtest.h>

#include "simulator/product_presets.h"
#include "tests/sim/hand_procedures.h"

namespace torvex::sim {
namespace {

using namespace testing;

struct Bench {
    VirtualPlatform platform;
    VirtualProduct* product;
    DeviceHandle handle;

    explicit Bench(ProductPreset preset = ProductPreset::ApplicationOld) {
        product = &platform.AddProduct(PresetConfig(preset));
        handle = OpenDisk(platform, 0);
    }
    PassThroughResult ReadFwInfo(std::vector<std::uint8_t>& reply) {
        reply.assign(64, 0xEE);
        return Wire(platform, handle).In(kGetFwInfo, 64, reply.data());
    }
};

TEST(Faults, FailOnceLetsTheRetrySucceed) {
    Bench b;
    b.product->Faults().Add(Fault::On(Command::GetFwInfo, FaultAction::Fail));
    std::vector<std::uint8_t> reply;
    const auto first = b.ReadFwInfo(reply);
    EXPECT_FALSE(first.delivered);
    EXPECT_EQ(first.error, TransportError::Other);
    EXPECT_EQ(reply, std::vector<std::uint8_t>(64, 0xEE));  // not carried out
    EXPECT_TRUE(b.ReadFwInfo(reply).delivered);
    EXPECT_EQ(reply, Bytes(OldEf64Identity()));
    EXPECT_TRUE(b.platform.Violations().empty());
}

TEST(Faults, AlwaysFailsEveryMatchingRequestOnlyInItsCode) {
    Bench b(ProductPreset::ApplicationAntique);
    std::vector<std::uint8_t> reply;
    for (int attempt = 0; attempt < 3; ++attempt) EXPECT_FALSE(b.ReadFwInfo(reply).delivered);
    EXPECT_TRUE(ReadInfo(b.platform, b.handle, kGetEf32Info).size() == 64);
    b.platform.Close(b.handle);
    b.platform.Reenumerate(0, ProductMode::Ota);
    b.platform.AdvanceClock(b.product->Timing().return_delay_ms);
    b.handle = OpenDisk(b.platform, 0);
    EXPECT_TRUE(b.ReadFwInfo(reply).delivered);
}

TEST(Faults, TimeoutAndCheckCondition) {
    Bench b;
    b.product->Faults().Add(Fault::On(Command::GetFwInfo, FaultAction::Timeout));
    b.product->Faults().Add(Fault::On(Command::GetFwInfo, FaultAction::CheckCondition));
    std::vector<std::uint8_t> reply;
    EXPECT_EQ(b.ReadFwInfo(reply).error, TransportError::Timeout);
    const auto checked = b.ReadFwInfo(reply);
    EXPECT_TRUE(checked.delivered);
    EXPECT_EQ(checked.scsi_status, kScsiStatusCheckCondition);
    EXPECT_EQ(checked.sense[0], 0x70);
    EXPECT_EQ(checked.sense_length, 18);
    EXPECT_EQ(b.ReadFwInfo(reply).scsi_status, kScsiStatusGood);
}

TEST(Faults, NthRequestCountsFromWhenTheFaultIsAdded) {
    Bench b;
    std::vector<std::uint8_t> reply;
    b.ReadFwInfo(reply);
    b.product->Faults().Add(Fault::OnNthRequest(3, FaultAction::Fail));
    EXPECT_TRUE(b.ReadFwInfo(reply).delivered);
    EXPECT_TRUE(b.ReadFwInfo(reply).delivered);
    EXPECT_FALSE(b.ReadFwInfo(reply).delivered);
    EXPECT_TRUE(b.ReadFwInfo(reply).delivered);
    EXPECT_EQ(b.product->Faults().Pending(), 0u);
}

TEST(Faults, VanishBeforeAndAfterACommand) {
    {
        Bench b(ProductPreset::Ota);
        b.product->Faults().Add(Fault::On(Command::ProgramEf64Main, FaultAction::VanishBefore));
        const auto results =
            RunSteps(b.platform, b.handle, Ef64MaskOtaProcedure(MainSlice(162), InfoSlice(138)));
        EXPECT_EQ(results[3].error, TransportError::NoDevice);
        EXPECT_EQ(results[4].error, TransportError::NoDevice);
        EXPECT_FALSE(b.platform.IsPresent(0));
        EXPECT_EQ(b.product->Ef64().CheckMain(), ImageCheck::NoImage);  // erased, not written
        b.platform.AdvanceClock(60000);
        EXPECT_FALSE(b.platform.IsPresent(0));  // unplugged: it does not come back
    }
    {
        Bench b(ProductPreset::Ota);
        b.product->Faults().Add(Fault::On(Command::ProgramEf64Main, FaultAction::VanishAfter));
        const auto results =
            RunSteps(b.platform, b.handle, Ef64MaskOtaProcedure(MainSlice(162), InfoSlice(138)));
        EXPECT_TRUE(results[3].delivered);
        EXPECT_EQ(results[4].error, TransportError::NoDevice);
        EXPECT_EQ(b.product->Ef64().CheckMain(), ImageCheck::Good);
    }
}

TEST(Faults, GarbageAndShortReplies) {
    Bench b;
    Fault shortened = Fault::On(Command::GetFwInfo, FaultAction::ShortReply);
    shortened.reply_bytes = 10;
    b.product->Faults().Add(shortened);
    b.product->Faults().Add(Fault::On(Command::GetFwInfo, FaultAction::GarbageReply));
    std::vector<std::uint8_t> reply;
    EXPECT_TRUE(b.ReadFwInfo(reply).delivered);
    const auto expected = Bytes(OldEf64Identity());
    EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + 10, expected.begin()));
    EXPECT_EQ(reply[10], 0xEE);
    EXPECT_TRUE(b.ReadFwInfo(reply).delivered);
    EXPECT_NE(reply, expected);
    EXPECT_NE(reply, std::vector<std::uint8_t>(64, 0xEE));
}

TEST(Faults, StayAfterJumpNeverReenumerates) {
    Bench b(ProductPreset::ApplicationOld);
    b.product->Faults().Add(Fault::On(Command::Execute, FaultAction::StayAfterJump));
    EXPECT_TRUE(Wire(b.platform, b.handle).None(kExecute, DataDirection::In).delivered);
    b.platform.AdvanceClock(60000);
    EXPECT_TRUE(b.platform.IsPresent(0));
    EXPECT_EQ(b.product->Mode(), ProductMode::Application);
    EXPECT_TRUE(b.platform.TakeEvents().empty());
}

TEST(Faults, ReplugAfterComesBackInTheSameCode) {
    Bench b(ProductPreset::ProtectIsp);
    b.product->Faults().Add(Fault::On(Command::EraseEf64Main, FaultAction::ReplugAfter));
    const auto results =
        RunSteps(b.platform, b.handle, Ef64ProtectProcedure(MainSlice(162), InfoSlice(138)));
    EXPECT_TRUE(results[0].delivered);
    EXPECT_EQ(results[1].error, TransportError::NoDevice);
    b.platform.AdvanceClock(b.product->Timing().return_delay_ms);
    EXPECT_TRUE(b.platform.IsPresent(0));
    EXPECT_EQ(b.product->Mode(), ProductMode::ProtectIsp);
}

}  // namespace
}  // namespace torvex::sim
