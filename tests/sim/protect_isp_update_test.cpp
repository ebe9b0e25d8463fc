// A complete update of a product in protected ISP code, sent by hand from the command tables:
// the product must take every block, verify what was written and come back in application
// code reporting the identity of the image that was written.
#include <gtest/gtest.h>

#include "simulator/product_presets.h"
#include "simulator/sample_firmware.h"
#include "tests/sim/hand_procedures.h"

namespace torvex::sim {
namespace {

using testing::kGetFwInfo;
using testing::Wire;

class ProtectIspUpdate : public ::testing::Test {
  protected:
    void SetUp() override {
        product_ = &platform_.AddProduct(PresetConfig(ProductPreset::ProtectIsp));
        platform_.RegisterDataSource("162", testing::SampleBlock(162));
        platform_.RegisterDataSource("138", testing::SampleBlock(138));
        handle_ = testing::OpenDisk(platform_, 0);
        ASSERT_NE(handle_, kInvalidDeviceHandle);
    }

    // Runs the nine steps; returns the SCSI status of each, 0xFF if undelivered.
    std::vector<std::uint8_t> RunProcedure(std::span<const std::uint8_t> main,
                                           std::span<const std::uint8_t> info) {
        return testing::Statuses(
            testing::RunSteps(platform_, handle_, testing::Ef64ProtectProcedure(main, info)));
    }

    VirtualPlatform platform_;
    VirtualProduct* product_ = nullptr;
    DeviceHandle handle_ = kInvalidDeviceHandle;
};

TEST_F(ProtectIspUpdate, WritesTheImageAndComesBackInApplicationCodeWithItsIdentity) {
    const auto statuses = RunProcedure(testing::MainSlice(162), testing::InfoSlice(138));
    EXPECT_EQ(statuses, std::vector<std::uint8_t>(9, kScsiStatusGood));
    for (const auto& v : platform_.Violations()) ADD_FAILURE() << Describe(v);

    // Gone at once; the handle reaches nothing any more.
    EXPECT_FALSE(platform_.IsPresent(0));
    std::uint8_t reply[64] = {};
    EXPECT_EQ(Wire(platform_, handle_).In(kGetFwInfo, 64, reply).error, TransportError::NoDevice);
    platform_.Close(handle_);

    platform_.AdvanceClock(product_->Timing().return_delay_ms);
    ASSERT_TRUE(platform_.IsPresent(0));
    EXPECT_EQ(product_->Mode(), ProductMode::Application);
    const auto listing = platform_.ListDiskInterfaces();
    ASSERT_EQ(listing.disks.size(), 1u);
    EXPECT_EQ(listing.disks[0].parent_device_id, u"USB\\VID_2175&PID_5001\\2175APP00001");

    const DeviceHandle again = platform_.OpenExclusive(listing.disks[0].path);
    ASSERT_TRUE(Wire(platform_, again).In(kGetFwInfo, 64, reply).delivered);
    const IdentityBlock expected = SampleEf64Identity(1);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reply));
    EXPECT_EQ(IdentityName(product_->Ef64().Identity()), "F_TORVEXZED_APP_GROUP1");
    platform_.Close(again);
    EXPECT_EQ(platform_.OpenHandleCount(), 0u);
}

TEST_F(ProtectIspUpdate, TraceNamesEachCommandAndWhereItsDataCameFrom) {
    RunProcedure(testing::MainSlice(162), testing::InfoSlice(138));
    const auto& trace = platform_.Trace();
    ASSERT_EQ(trace.size(), 9u);
    EXPECT_EQ(trace[3].command, "ISP_CMD_PROGRAM_EF64_MAIN");
    EXPECT_EQ(trace[3].source, "162");
    EXPECT_EQ(trace[3].source_offset, 512u);
    EXPECT_TRUE(trace[3].source_fits);
    EXPECT_EQ(trace[6].source, "138");
    EXPECT_EQ(trace[6].source_offset, 512u);
    EXPECT_EQ(trace[8].command, "ISP_CMD_JUMP_EF64");
    for (const auto& entry : trace) EXPECT_TRUE(entry.accepted) << Describe(entry);
}

TEST_F(ProtectIspUpdate, CorruptedMainMemoryTransferFailsItsChecksumAndTheJumpLeadsBack) {
    std::vector<std::uint8_t> main(testing::MainSlice(162).begin(), testing::MainSlice(162).end());
    main[40000] ^= 0x01;  // one bit lost on the way
    const auto statuses = RunProcedure(main, testing::InfoSlice(138));
    EXPECT_EQ(statuses[4], kScsiStatusCheckCondition);
    EXPECT_EQ(statuses[7], kScsiStatusGood);
    EXPECT_TRUE(platform_.Violations().empty());
    // The product cannot run what was written: it re-enumerates in protected ISP code.
    platform_.AdvanceClock(product_->Timing().return_delay_ms);
    EXPECT_EQ(product_->Mode(), ProductMode::ProtectIsp);
}

TEST_F(ProtectIspUpdate, InformationPageSentFromTheWrongOffsetFailsItsChecksum) {
    const auto statuses =
        RunProcedure(testing::MainSlice(162), testing::SampleBlock(138).subspan(640, 128));
    EXPECT_EQ(statuses[4], kScsiStatusGood);
    EXPECT_EQ(statuses[7], kScsiStatusCheckCondition);
}

}  // namespace
}  // namespace torvex::sim
