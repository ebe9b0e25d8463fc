// SG_IO through the real back end to a device behind the fake node: buffers used in place, what
// the kernel is asked for, and what counts as delivered.
#include <gtest/gtest.h>
#include <scsi/sg.h>

#include <cerrno>
#include <numeric>

#include "base/status_log.h"
#include "device/linux/linux_device_platform.h"
#include "device/scsi_transport.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/scripted_disk.h"
#include "tests/support/recording_window.h"

namespace torvex::testing {
namespace {

using linux_backend::LinuxDevicePlatform;

constexpr std::array<std::uint8_t, 16> kGetInfo = {0xFF, 0xA0, 0x04, 0, 0, 0, 0, 64};
const std::vector<std::uint8_t> kIllegalRequestSense = {0x70, 0, 0x05, 0,    0, 0, 0, 0x0A, 0,
                                                        0,    0, 0,    0x24, 0, 0, 0, 0,    0};

struct PassThroughTest : ::testing::Test {
    MockSystem system;
    ScriptedDisk backing;
    FakeUsbDisk product{system, ProtectIspIdentity(), backing};
    LinuxDevicePlatform platform{[] { return true; }};
    DeviceHandle handle = kInvalidDeviceHandle;

    void SetUp() override {
        platform.ListDiskInterfaces();
        handle = platform.OpenExclusive(product.Path());
        ASSERT_NE(handle, kInvalidDeviceHandle);
    }
    void TearDown() override { platform.Close(handle); }

    PassThroughResult Send(DataDirection direction, std::uint8_t* in, const std::uint8_t* out,
                           std::uint32_t length, std::span<const std::uint8_t> cdb = kGetInfo) {
        PassThroughRequest request;
        request.cdb = cdb;
        request.direction = direction;
        request.data_in = in;
        request.data_out = out;
        request.length = length;
        return platform.PassThrough(handle, request);
    }
};

TEST_F(PassThroughTest, DataInLandsInTheCallersBufferAndNowhereElse) {
    std::vector<std::uint8_t> reply(64);
    std::iota(reply.begin(), reply.end(), std::uint8_t{1});
    backing.Script({ScriptedDisk::Delivered(), reply});
    std::vector<std::uint8_t> buffer(80, 0xEE);

    const PassThroughResult result = Send(DataDirection::In, buffer.data(), nullptr, 64);
    EXPECT_TRUE(result.delivered);
    EXPECT_EQ(result.scsi_status, kScsiStatusGood);
    EXPECT_TRUE(result.diagnostic.empty());
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), buffer.begin()));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + 64, buffer.end()),
              std::vector<std::uint8_t>(16, 0xEE));

    const SgIoSeen seen = product.Seen().at(0);
    EXPECT_EQ(seen.dxfer_direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(seen.dxfer_len, 64u);
    EXPECT_EQ(seen.timeout_ms, 30000u);
    EXPECT_EQ(seen.mx_sb_len, 96u);
    EXPECT_EQ(seen.cdb, std::vector<std::uint8_t>(kGetInfo.begin(), kGetInfo.end()));
    const ReceivedRequest received = backing.Received().at(0);
    EXPECT_EQ(received.direction, DataDirection::In);
    EXPECT_EQ(received.length, 64u);
    EXPECT_EQ(received.timeout_seconds, 30u);
}

TEST_F(PassThroughTest, DataOutIsReadFromTheCallersBuffer) {
    std::vector<std::uint8_t> image(65536);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::vector<std::uint8_t> original = image;

    EXPECT_TRUE(Send(DataDirection::Out, nullptr, image.data(), 65536).delivered);
    EXPECT_EQ(product.Seen().at(0).dxfer_direction, SG_DXFER_TO_DEV);
    EXPECT_EQ(product.Seen().at(0).dxfer_len, 65536u);
    const ReceivedRequest received = backing.Received().at(0);
    EXPECT_EQ(received.direction, DataDirection::Out);
    EXPECT_EQ(received.data_out, original);
    EXPECT_EQ(image, original);
}

TEST_F(PassThroughTest, LengthZeroMeansNoDataPhaseEvenWithABuffer) {
    std::vector<std::uint8_t> buffer(8, 0xEE);
    backing.Script({ScriptedDisk::Delivered(), {1, 2, 3}});
    const std::array<std::uint8_t, 11> execute = {0xFF, 0xA0, 0x02};
    EXPECT_TRUE(Send(DataDirection::In, buffer.data(), nullptr, 0, execute).delivered);
    EXPECT_TRUE(Send(DataDirection::Out, nullptr, nullptr, 0, execute).delivered);
    for (const SgIoSeen& seen : product.Seen()) {
        EXPECT_EQ(seen.dxfer_direction, SG_DXFER_NONE);
        EXPECT_EQ(seen.dxfer_len, 0u);
        EXPECT_EQ(seen.cdb, std::vector<std::uint8_t>(execute.begin(), execute.end()));
    }
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(8, 0xEE));
    EXPECT_EQ(backing.Received().at(0).length, 0u);
}

TEST_F(PassThroughTest, MalformedRequestsNeverReachTheDevice) {
    const std::array<std::uint8_t, 17> too_long{0xFF};
    EXPECT_EQ(Send(DataDirection::In, nullptr, nullptr, 0, too_long).error, TransportError::Other);
    EXPECT_EQ(Send(DataDirection::In, nullptr, nullptr, 0, {}).error, TransportError::Other);
    std::uint8_t buffer[4] = {};
    EXPECT_FALSE(Send(DataDirection::In, nullptr, buffer, 4).delivered);   // data-in, no buffer
    EXPECT_FALSE(Send(DataDirection::Out, buffer, nullptr, 4).delivered);  // data-out, no buffer
    EXPECT_EQ(product.SeenCount(), 0u);
}

TEST_F(PassThroughTest, CheckConditionIsDeliveredWithItsSense) {
    backing.Script(ScriptedDisk::CheckCondition(kIllegalRequestSense));
    const PassThroughResult result = Send(DataDirection::In, nullptr, nullptr, 0);
    EXPECT_TRUE(result.delivered);
    EXPECT_EQ(result.scsi_status, kScsiStatusCheckCondition);
    EXPECT_EQ(result.error, TransportError::None);
    ASSERT_EQ(result.sense_length, kIllegalRequestSense.size());
    EXPECT_TRUE(
        std::equal(kIllegalRequestSense.begin(), kIllegalRequestSense.end(), result.sense.begin()));
    EXPECT_NE(result.diagnostic.find("status 0x02"), std::string::npos) << result.diagnostic;
    EXPECT_NE(result.diagnostic.find("sense 70 00 05"), std::string::npos) << result.diagnostic;
}

TEST_F(PassThroughTest, ProductGoneWhileOpenIsNoDevice) {
    product.Unplug();
    const PassThroughResult result = Send(DataDirection::In, nullptr, nullptr, 0);
    EXPECT_FALSE(result.delivered);
    EXPECT_EQ(result.error, TransportError::NoDevice);
    EXPECT_EQ(result.scsi_status, 0);
    EXPECT_NE(result.diagnostic.find("errno 19"), std::string::npos) << result.diagnostic;
    EXPECT_TRUE(backing.Received().empty());
}

// Outcomes of the ioctl as the kernel reports them, and what the port makes of them.
struct OutcomeCase {
    const char* name;
    RawSgIoAnswer answer;
    bool delivered;
    TransportError error;
    std::uint8_t status;
    bool outcome_unknown = false;  // the product may hold the request: it is not sent again
};

void PrintTo(const OutcomeCase& outcome, std::ostream* out) {
    *out << outcome.name;
}

RawSgIoAnswer Errno(int error_number) {
    return RawSgIoAnswer{error_number, 0, 0, 0, {}};
}
RawSgIoAnswer Status(std::uint8_t status, std::uint16_t host, std::uint16_t driver,
                     std::vector<std::uint8_t> sense = {}) {
    return RawSgIoAnswer{0, status, host, driver, std::move(sense)};
}

class OutcomeTest : public PassThroughTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, MapsToDeliveryAndError) {
    product.QueueRawAnswer(GetParam().answer);
    const PassThroughResult result = Send(DataDirection::In, nullptr, nullptr, 0);
    EXPECT_EQ(result.delivered, GetParam().delivered);
    EXPECT_EQ(result.error, GetParam().error);
    EXPECT_EQ(result.scsi_status, GetParam().status);
    EXPECT_EQ(result.outcome_unknown, GetParam().outcome_unknown);
    EXPECT_EQ(result.diagnostic.empty(), GetParam().delivered && GetParam().status == 0);
    EXPECT_TRUE(backing.Received().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kernel, OutcomeTest,
    ::testing::Values(
        OutcomeCase{"Good", Status(0, 0, 0), true, TransportError::None, 0},
        OutcomeCase{"SenseFlagIgnored", Status(2, 0, 0x08, kIllegalRequestSense), true,
                    TransportError::None, 2},
        OutcomeCase{"Busy", Status(0x08, 0, 0), true, TransportError::None, 0x08},
        OutcomeCase{"NoDevice", Errno(ENODEV), false, TransportError::NoDevice, 0},
        OutcomeCase{"NoSuchAddress", Errno(ENXIO), false, TransportError::NoDevice, 0},
        OutcomeCase{"NotPermitted", Errno(EPERM), false, TransportError::PermissionDenied, 0},
        OutcomeCase{"AccessDenied", Errno(EACCES), false, TransportError::PermissionDenied, 0},
        OutcomeCase{"IoError", Errno(EIO), false, TransportError::Other, 0},
        OutcomeCase{"Interrupted", Errno(EINTR), false, TransportError::Other, 0, true},
        OutcomeCase{"HostTimeOut", Status(0, 0x03, 0), false, TransportError::Timeout, 0},
        OutcomeCase{"DriverTimeOut", Status(0, 0, 0x06), false, TransportError::Timeout, 0},
        OutcomeCase{"HostNoConnect", Status(0, 0x01, 0), false, TransportError::NoDevice, 0},
        OutcomeCase{"HostError", Status(0, 0x07, 0), false, TransportError::Other, 0},
        OutcomeCase{"DriverErrorWithSense", Status(2, 0, 0x0C, kIllegalRequestSense), false,
                    TransportError::Other, 2},
        OutcomeCase{"TimeOutKeepsTargetStatus", Status(2, 0x03, 0), false, TransportError::Timeout,
                    2}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(PassThroughTest, DeviceTimingOutBehindTheNodeIsATimeout) {
    backing.Script(ScriptedDisk::Undelivered(TransportError::Timeout));
    const PassThroughResult result = Send(DataDirection::In, nullptr, nullptr, 0);
    EXPECT_FALSE(result.delivered);
    EXPECT_EQ(result.error, TransportError::Timeout);
    EXPECT_NE(result.diagnostic.find("time-out"), std::string::npos) << result.diagnostic;
}

TEST_F(PassThroughTest, FirstRefusalCarriesTheAdviceAndTheAdviceIsGivenOnce) {
    EXPECT_TRUE(platform.TakeRawAccessAdvice().empty());
    product.QueueRawAnswer(Errno(EPERM));
    product.QueueRawAnswer(Errno(EPERM));
    const PassThroughResult first = Send(DataDirection::In, nullptr, nullptr, 0);
    const PassThroughResult second = Send(DataDirection::In, nullptr, nullptr, 0);
    EXPECT_NE(first.diagnostic.find("CAP_SYS_RAWIO"), std::string::npos) << first.diagnostic;
    EXPECT_EQ(second.diagnostic.find("CAP_SYS_RAWIO"), std::string::npos) << second.diagnostic;
    EXPECT_TRUE(platform.AccessRefused());
    EXPECT_EQ(platform.TakeRawAccessAdvice(), linux_backend::kRawScsiAccessAdvice);
    EXPECT_TRUE(platform.TakeRawAccessAdvice().empty());
}

// The transport above the back end: a product unplugged under an open handle costs three
// attempts and three lines; a CHECK CONDITION is a completed command whose status shows.
TEST_F(PassThroughTest, TransportSeesUnplugAsThreeFailedAttempts) {
    RecordingWindow window;
    StatusLog log(window);
    ScsiTransport transport(log, platform);
    backing.Script(ScriptedDisk::CheckCondition(kIllegalRequestSense));
    EXPECT_EQ(transport.SendSCSICommand(handle, kGetInfo, DataPhase::None(DataDirection::In)), 1);
    EXPECT_FALSE(transport.LastCompletedGood());
    EXPECT_TRUE(window.status_log.empty());

    product.Unplug();
    EXPECT_EQ(transport.SendSCSICommand(handle, kGetInfo, DataPhase::None(DataDirection::In)), 0);
    EXPECT_EQ(window.Utf8Lines(), std::vector<std::string>(3, "SendSCSICommand FAIL : >0x0<"));
    EXPECT_EQ(product.SeenCount(), 4u);
}

}  // namespace
}  // namespace torvex::testing
