// The transport: three attempts, one log line per failed attempt, exactly 1 or 0.
#include <gtest/gtest.h>

#include "app/status_log.h"
#include "device/isp_commands.h"
#include "device/scsi_transport.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_platform.h"

namespace torvex {
namespace {

using testing::RecordingWindow;
using testing::ScriptedPlatform;

struct TransportTest : ::testing::Test {
    RecordingWindow window;
    StatusLog log{window};
    ScriptedPlatform platform;
    ScsiTransport transport{log, platform};
    IspCommandBlock block;
};

TEST_F(TransportTest, SuccessOnFirstAttemptLogsNothing) {
    EXPECT_EQ(transport.SendSCSICommand(3, nullptr, nullptr, 0, 1, block.data(), 16), 1);
    EXPECT_TRUE(window.status_log.empty());
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests[0].timeout_seconds, 30u);
    EXPECT_EQ(platform.requests[0].handle, 3);
}

TEST_F(TransportTest, SecondAttemptSucceedingGivesOneFailureLine) {
    platform.script = {ScriptedPlatform::Failed(0x2)};
    EXPECT_EQ(transport.SendSCSICommand(3, nullptr, nullptr, 0, 1, block.data(), 16), 1);
    EXPECT_EQ(window.Utf8Lines(), std::vector<std::string>{"SendSCSICommand FAIL : >0x2<"});
    EXPECT_EQ(platform.requests.size(), 2u);
}

TEST_F(TransportTest, ThreeFailuresGiveExactlyThreeLinesAndZero) {
    platform.script = {ScriptedPlatform::Failed(), ScriptedPlatform::Failed(0x28),
                       ScriptedPlatform::Failed(), ScriptedPlatform::Delivered()};
    EXPECT_EQ(transport.SendSCSICommand(3, nullptr, nullptr, 0, 1, block.data(), 16), 0);
    EXPECT_EQ(window.Utf8Lines(),
              (std::vector<std::string>{"SendSCSICommand FAIL : >0x0<",
                                        "SendSCSICommand FAIL : >0x28<",
                                        "SendSCSICommand FAIL : >0x0<"}));
    EXPECT_EQ(platform.requests.size(), 3u);
}

TEST_F(TransportTest, DeliveredWithCheckConditionIsSuccessButVisibleToTheCaller) {
    platform.script = {ScriptedPlatform::Delivered(kScsiStatusCheckCondition)};
    EXPECT_EQ(transport.SendSCSICommand(3, nullptr, nullptr, 0, 1, block.data(), 16), 1);
    EXPECT_FALSE(transport.LastCompletedGood());
    EXPECT_EQ(transport.LastResult().scsi_status, kScsiStatusCheckCondition);
    platform.script = {ScriptedPlatform::Delivered()};
    transport.SendSCSICommand(3, nullptr, nullptr, 0, 1, block.data(), 16);
    EXPECT_TRUE(transport.LastCompletedGood());
}

TEST_F(TransportTest, DirectionLengthAndBuffersPassUnchanged) {
    std::uint8_t in[64] = {};
    const std::uint8_t out[8] = {1, 2, 3};
    platform.reply = {0xAB, 0xCD};
    transport.SendSCSICommand(3, in, nullptr, 64, 1, block.data(), 16);
    transport.SendSCSICommand(3, nullptr, out, 8, 0, block.data(), 16);
    ASSERT_EQ(platform.requests.size(), 2u);
    EXPECT_EQ(platform.requests[0].direction, DataDirection::In);
    EXPECT_EQ(platform.requests[0].data_in, in);
    EXPECT_EQ(platform.requests[0].length, 64u);
    EXPECT_EQ(in[0], 0xAB);
    EXPECT_EQ(platform.requests[1].direction, DataDirection::Out);
    EXPECT_EQ(platform.requests[1].data_out, out);
}

TEST_F(TransportTest, CdbLongerThanSixteenIsCut) {
    std::uint8_t long_cdb[40];
    for (std::uint8_t i = 0; i < 40; ++i) long_cdb[i] = i;
    transport.SendSCSICommand(3, nullptr, nullptr, 0, 1, long_cdb, 40);
    ASSERT_EQ(platform.requests[0].cdb.size(), 16u);
    EXPECT_EQ(platform.requests[0].cdb[15], 15);
}

TEST_F(TransportTest, ExecuteIsTheElevenByteBlockAndAlwaysReturnsZero) {
    EXPECT_EQ(SendIspExecute(transport, 3), 0);
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests[0].cdb, (std::vector<std::uint8_t>{0xFF, 0xA0, 0x02, 0, 0, 0, 0,
                                                                    0, 0, 0, 0}));
    EXPECT_EQ(platform.requests[0].length, 0u);
    EXPECT_EQ(platform.requests[0].direction, DataDirection::In);
    EXPECT_EQ(platform.requests[0].data_in, nullptr);
}

}  // namespace
}  // namespace torvex
