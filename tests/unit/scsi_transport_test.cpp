// The transport: three attempts, one log line per failed attempt, exactly 1 or 0; the product
// connection that owns the handle of one operation.
#include <gtest/gtest.h>

#include "base/status_log.h"
#include "device/isp_commands.h"
#include "device/product_connection.h"
#include "device/scsi_transport.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_platform.h"

namespace torvex {
namespace {

using testing::RecordingWindow;
using testing::ScriptedPlatform;

struct TransportTest : ::testing::Test {
    int Send() {
        return transport.SendSCSICommand(3, block.Bytes(), DataPhase::None(DataDirection::In));
    }

    RecordingWindow window;
    StatusLog log{window};
    ScriptedPlatform platform;
    ScsiTransport transport{log, platform};
    IspCommandBlock block;
};

TEST_F(TransportTest, SuccessOnFirstAttemptLogsNothing) {
    EXPECT_EQ(Send(), 1);
    EXPECT_TRUE(window.status_log.empty());
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests[0].timeout_seconds, 30u);
    EXPECT_EQ(platform.requests[0].handle, 3);
}

TEST_F(TransportTest, SecondAttemptSucceedingGivesOneFailureLine) {
    platform.script = {ScriptedPlatform::Failed(0x2)};
    EXPECT_EQ(Send(), 1);
    EXPECT_EQ(window.Utf8Lines(), std::vector<std::string>{"SendSCSICommand FAIL : >0x2<"});
    EXPECT_EQ(platform.requests.size(), 2u);
}

TEST_F(TransportTest, ThreeFailuresGiveExactlyThreeLinesAndZero) {
    platform.script = {ScriptedPlatform::Failed(), ScriptedPlatform::Failed(0x28),
                       ScriptedPlatform::Failed(), ScriptedPlatform::Delivered()};
    EXPECT_EQ(Send(), 0);
    EXPECT_EQ(window.Utf8Lines(), (std::vector<std::string>{"SendSCSICommand FAIL : >0x0<",
                                                            "SendSCSICommand FAIL : >0x28<",
                                                            "SendSCSICommand FAIL : >0x0<"}));
    EXPECT_EQ(platform.requests.size(), 3u);
}

TEST_F(TransportTest, DeliveredWithCheckConditionIsSuccessButVisibleToTheCaller) {
    platform.script = {ScriptedPlatform::Delivered(kScsiStatusCheckCondition)};
    EXPECT_EQ(Send(), 1);
    EXPECT_FALSE(transport.LastCompletedGood());
    EXPECT_EQ(transport.LastResult().scsi_status, kScsiStatusCheckCondition);
    platform.script = {ScriptedPlatform::Delivered()};
    Send();
    EXPECT_TRUE(transport.LastCompletedGood());
}

TEST_F(TransportTest, DirectionLengthAndBuffersPassUnchanged) {
    std::array<std::uint8_t, 64> in{};
    const std::array<std::uint8_t, 8> out = {1, 2, 3};
    platform.reply = {0xAB, 0xCD};
    transport.SendSCSICommand(3, block.Bytes(), DataPhase::In(in));
    transport.SendSCSICommand(3, block.Bytes(), DataPhase::Out(out));
    ASSERT_EQ(platform.requests.size(), 2u);
    EXPECT_EQ(platform.requests[0].direction, DataDirection::In);
    EXPECT_EQ(platform.requests[0].data_in, in.data());
    EXPECT_EQ(platform.requests[0].length, 64u);
    EXPECT_EQ(in[0], 0xAB);
    EXPECT_EQ(platform.requests[1].direction, DataDirection::Out);
    EXPECT_EQ(platform.requests[1].data_out, out.data());
    EXPECT_EQ(platform.requests[1].length, 8u);
}

TEST_F(TransportTest, CdbLongerThanSixteenIsCut) {
    std::array<std::uint8_t, 40> long_cdb{};
    for (std::uint8_t i = 0; i < 40; ++i) long_cdb[i] = i;
    transport.SendSCSICommand(3, long_cdb, DataPhase::None(DataDirection::In));
    ASSERT_EQ(platform.requests[0].cdb.size(), 16u);
    EXPECT_EQ(platform.requests[0].cdb[15], 15);
}

TEST_F(TransportTest, DiagnosticsSayWhatWentWrongAndNeverReachTheStatusLog) {
    std::vector<std::string> diagnostics;
    transport.SetDiagnosticSink([&](const std::string& line) { diagnostics.push_back(line); });
    PassThroughResult refused = ScriptedPlatform::Failed();
    refused.diagnostic = "SG_IO failed: Operation not permitted (errno 1)";
    platform.script = {refused, ScriptedPlatform::Delivered()};
    block.Write(ISP_CMD_ERASE_EF64_MAIN, 0);
    Send();
    Send();  // delivered GOOD: nothing to say
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0],
              "command FF 52 00 00 00 00 00 00 00 00 00 00 00 00 00 00 (in, 0 bytes), attempt 1 of "
              "3: not delivered: SG_IO failed: Operation not permitted (errno 1)");
    EXPECT_EQ(window.Utf8Lines(), std::vector<std::string>{"SendSCSICommand FAIL : >0x0<"});
    platform.script = {ScriptedPlatform::Delivered(kScsiStatusCheckCondition)};
    Send();
    ASSERT_EQ(diagnostics.size(), 2u);
    EXPECT_NE(diagnostics[1].find("completed with SCSI status 0x02"), std::string::npos);
}

TEST_F(TransportTest, ExecuteIsTheElevenByteBlockWithoutData) {
    SharedDataBuffer replies;
    ProductConnection connection(transport, replies);
    connection.Open(u"/dev/sdx");
    SendIspExecute(connection);
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests[0].cdb,
              (std::vector<std::uint8_t>{0xFF, 0xA0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(platform.requests[0].length, 0u);
    EXPECT_EQ(platform.requests[0].direction, DataDirection::In);
    EXPECT_EQ(platform.requests[0].data_in, nullptr);
}

TEST_F(TransportTest, AConnectionClosesItsHandleOnceWhateverTheWay) {
    SharedDataBuffer replies;
    {
        ProductConnection product(transport, replies);
        EXPECT_TRUE(product.Open(u"/dev/sdx"));
        product.Close();
        product.Close();
        EXPECT_EQ(platform.closes, 1);
        EXPECT_TRUE(product.Open(u"/dev/sdx"));
    }
    EXPECT_EQ(platform.closes, 2);
    EXPECT_EQ(platform.open_handles, 0);

    platform.open_fails = true;
    ProductConnection failed(transport, replies);
    EXPECT_FALSE(failed.OpenOrReport(u"/dev/sdx", u""));
    EXPECT_EQ(window.Utf8Lines(),
              (std::vector<std::string>{"Open USB device failed.",
                                        "Reason: Device or resource busy (errno 16)"}));
    EXPECT_FALSE(failed.IsOpen());
}

}  // namespace
}  // namespace torvex
