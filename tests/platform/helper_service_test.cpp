// torvex-isp-helper on a bus of the test's own, with products faked under umockdev: the disk a
// client opens and hands over, the blocks the helper carries and the ones it refuses, the disk
// let go when the client leaves, and the authority's word; a product that holds a command, a
// claim that waits for the authority, and the helper told to stop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <numeric>
#include <thread>

#include "base/status_log.h"
#include "device/linux/helper_carrier.h"
#include "device/linux/isp_helper_interface.h"
#include "device/linux/linux_device_platform.h"
#include "device/linux/sd_bus_handles.h"
#include "device/scsi_transport.h"
#include "tests/platform/eventually.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/private_system_bus.h"
#include "tests/platform/scripted_disk.h"
#include "tests/support/recording_window.h"

namespace torvex::testing {
namespace {

using linux_backend::HelperCarrier;
using linux_backend::HelperWaits;
using linux_backend::LinuxDevicePlatform;

using Block = std::vector<std::uint8_t>;

Block VendorBlock(std::uint8_t opcode, std::uint8_t parameter = 0) {
    Block block(16, 0);
    block[0] = 0xFF;
    block[1] = opcode;
    block[2] = parameter;
    return block;
}

// Opens a node as the tool does, with its lock; -1 when the open or the lock fails.
int OpenLocked(const std::string& node) {
    const int fd = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Nobody holds the disk: a new open takes its lock.
bool Free(const std::string& node) {
    const int fd = OpenLocked(node);
    if (fd >= 0) close(fd);
    return fd >= 0;
}

bool Says(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A product that holds the helper's next command for its node until Release(): a FIFO the test
// helper waits on (its --hold-dir).
class Hold {
  public:
    Hold(const std::string& directory, const std::string& devnode)
        : path_(directory + "/" + devnode.substr(5)) {
        mkfifo(path_.c_str(), 0600);
    }
    ~Hold() { Release(); }
    // The helper waits on the FIFO; no later command will.
    bool Reached() {
        if (end_ < 0 && Eventually([&] {
                end_ = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                return end_ >= 0;
            }))
            unlink(path_.c_str());
        return end_ >= 0;
    }
    void Release() {
        if (end_ < 0) end_ = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        unlink(path_.c_str());
        if (end_ < 0) return;
        [[maybe_unused]] const ssize_t written = write(end_, "x", 1);
        close(end_);
        end_ = -1;
    }

  private:
    std::string path_;
    int end_ = -1;
};

// The test's own folder, for the FIFOs of Hold.
struct HoldFolder {
    HoldFolder() {
        char pattern[] = "/tmp/torvex-hold-XXXXXX";
        if (mkdtemp(pattern) != nullptr) path = pattern;
    }
    ~HoldFolder() { rmdir(path.c_str()); }
    std::string path;
};

HelperWaits CommandWait(std::chrono::milliseconds command) {
    HelperWaits waits;
    waits.command = command;
    return waits;
}

struct HelperService : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(bus.StartHelper()); }

    // The tool's platform on this product through the helper.
    DeviceHandle OpenThroughHelper() {
        platform.ListDiskInterfaces();
        return platform.OpenExclusive(product.Path());
    }
    PassThroughResult Send(DeviceHandle handle, const Block& cdb, DataDirection direction,
                           std::uint32_t length, std::uint8_t* in = nullptr,
                           const std::uint8_t* out = nullptr) {
        PassThroughRequest request;
        request.cdb = cdb;
        request.direction = direction;
        request.length = length;
        request.data_in = in;
        request.data_out = out;
        return platform.PassThrough(handle, request);
    }

    MockSystem system;  // first: the helper it starts works in this testbed
    PrivateSystemBus bus;
    ScriptedDisk backing;
    FakeUsbDisk product{system, ProtectIspIdentity(), backing};
    LinuxDevicePlatform platform{std::make_shared<HelperCarrier>()};
};

TEST_F(HelperService, CarriesTheProductsCommandsBothWaysWithStatusAndSense) {
    const DeviceHandle handle = OpenThroughHelper();
    ASSERT_NE(handle, kInvalidDeviceHandle) << platform.LastOpenError();
    EXPECT_EQ(platform.OpenedParentDeviceId(handle), u"USB\\VID_0A81&PID_0321\\000000000002");

    Block reply(64);
    std::iota(reply.begin(), reply.end(), std::uint8_t{1});
    backing.Script({ScriptedDisk::Delivered(), reply});
    Block info(64, 0xEE);
    const PassThroughResult read =
        Send(handle, VendorBlock(0xA0, 0x04), DataDirection::In, 64, info.data());
    EXPECT_TRUE(read.delivered) << read.diagnostic;
    EXPECT_EQ(info, reply);
    EXPECT_EQ(read.residual, 0u);

    // A short read stays short: the bytes that did not arrive keep what the buffer held.
    backing.Script({ScriptedDisk::Delivered(), Block(reply.begin(), reply.begin() + 20)});
    Block short_info(64, 0xEE);
    const PassThroughResult short_read =
        Send(handle, VendorBlock(0xA0, 0x04), DataDirection::In, 64, short_info.data());
    EXPECT_EQ(short_read.residual, 44u);
    EXPECT_EQ(Block(short_info.begin(), short_info.begin() + 20),
              Block(reply.begin(), reply.begin() + 20));
    EXPECT_EQ(Block(short_info.begin() + 20, short_info.end()), Block(44, 0xEE));

    Block header(2048);
    for (std::size_t i = 0; i < header.size(); ++i) header[i] = static_cast<std::uint8_t>(i * 7);
    EXPECT_TRUE(
        Send(handle, VendorBlock(0xA0, 0x06), DataDirection::Out, 2048, nullptr, header.data())
            .delivered);

    const Block sense = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0, 0, 0, 0, 0};
    backing.Script(ScriptedDisk::CheckCondition(sense));
    const PassThroughResult checked = Send(handle, VendorBlock(0x58), DataDirection::In, 0);
    EXPECT_TRUE(checked.delivered);
    EXPECT_EQ(checked.scsi_status, kScsiStatusCheckCondition);
    EXPECT_EQ(Block(checked.sense.begin(), checked.sense.begin() + checked.sense_length), sense);

    const std::vector<ReceivedRequest> received = backing.Received();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].cdb, VendorBlock(0xA0, 0x04));
    EXPECT_EQ(received[2].data_out, header);
    EXPECT_EQ(product.Seen().at(2).dxfer_len, 2048u);
    platform.Close(handle);
    EXPECT_TRUE(platform.TakeRawAccessAdvice().empty());
}

TEST_F(HelperService, RefusesDescriptorsThatAreNotTheProduct) {
    ScriptedDisk elsewhere;
    FakeUsbDisk other_maker{system, UsbIdentity{"0781", "5567", "4C530001"}, elsewhere};
    FakeUsbDiskOptions cdrom;
    cdrom.scsi_type = "5";
    cdrom.scsi_driver = "sr";
    FakeUsbDisk cdrom_lun{system, cdrom, elsewhere};
    char plain_file[] = "/tmp/torvex-plain-file-XXXXXX";
    const int plain_fd = mkstemp(plain_file);
    unlink(plain_file);
    const std::string fifo = std::string(plain_file) + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int fifo_fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    unlink(fifo.c_str());
    struct Case {
        const char* what;
        int fd;
        const char* said;
    };
    const Case cases[] = {
        {"a plain file", plain_fd, "not open on a block device but on a regular file"},
        {"a FIFO", fifo_fd, "not open on a block device but on a FIFO"},
        {"the product's node as an O_PATH descriptor", open(product.DevNode().c_str(), O_PATH),
         "an O_PATH descriptor, not an open disk"},
        {"the product's node open for writing only", open(product.DevNode().c_str(), O_WRONLY),
         "open for writing only; the disk must be open for reading"},
        {"a SATA disk", OpenLocked(system.AddPlainDisk()), "not a SCSI disk (sd) behind"},
        {"a USB stick of another maker", OpenLocked(other_maker.DevNode()),
         "USB device VID_0781&PID_5567, which is not the product"},
        {"the product's CD-ROM LUN", OpenLocked(cdrom_lun.DevNode()), "not a SCSI disk (sd)"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        ASSERT_GE(each.fd, 0);
        HelperCarrier client;
        const linux_backend::AttachOutcome outcome = client.Attach(each.fd);
        EXPECT_TRUE(Says(outcome.refusal, "Error.NotProduct")) << outcome.refusal;
        EXPECT_TRUE(Says(outcome.refusal, each.said)) << outcome.refusal;
        EXPECT_FALSE(outcome.access_missing);
        close(each.fd);
    }
    EXPECT_EQ(other_maker.SeenCount() + cdrom_lun.SeenCount() + product.SeenCount(), 0u);
    EXPECT_TRUE(Free(product.DevNode()));
}

TEST_F(HelperService, BlocksOutsideTheProductsCommandSetNeverReachTheDisk) {
    const DeviceHandle handle = OpenThroughHelper();
    ASSERT_NE(handle, kInvalidDeviceHandle) << platform.LastOpenError();
    Block data(512);
    struct Case {
        const char* what;
        Block cdb;
        DataDirection direction;
        std::uint32_t length;
    };
    const Case cases[] = {
        {"READ(10) of the disk's data", {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, DataDirection::In, 512},
        {"a key slot the product has not", VendorBlock(0x62, 0x05), DataDirection::In, 0},
        {"an information read of another length", VendorBlock(0xA0, 0x04), DataDirection::In, 128},
        {"an erase sent as data-out", VendorBlock(0x52), DataDirection::Out, 0},
        {"an information page the product has not", VendorBlock(0x2A, 0x02), DataDirection::Out,
         128},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        const bool in = each.direction == DataDirection::In;
        const PassThroughResult result =
            Send(handle, each.cdb, each.direction, each.length, in ? data.data() : nullptr,
                 in ? nullptr : data.data());
        EXPECT_FALSE(result.delivered);
        EXPECT_TRUE(Says(result.diagnostic, "Error.CommandRefused")) << result.diagnostic;
    }
    EXPECT_EQ(product.SeenCount(), 0u);
    // The disk stays claimed: the product's own commands still go through.
    EXPECT_TRUE(Send(handle, VendorBlock(0x52), DataDirection::In, 0).delivered);
    EXPECT_EQ(product.SeenCount(), 1u);
}

TEST_F(HelperService, LetsTheDiskGoWhenTheClientLeavesOrClaimsAnother) {
    ScriptedDisk second_backing;
    FakeUsbDisk second{system, MaskCodeIdentity(), second_backing};
    const int fd = OpenLocked(product.DevNode());
    const int second_fd = OpenLocked(second.DevNode());
    ASSERT_GE(fd, 0);
    ASSERT_GE(second_fd, 0);
    auto client = std::make_unique<HelperCarrier>();
    ASSERT_EQ(client->Attach(fd).refusal, "");
    close(fd);  // only the helper holds the product now
    EXPECT_FALSE(Free(product.DevNode()));

    ASSERT_EQ(client->Attach(second_fd).refusal, "");
    EXPECT_TRUE(Free(product.DevNode()));
    close(second_fd);
    EXPECT_FALSE(Free(second.DevNode()));

    client.reset();  // its connection to the bus closes
    EXPECT_TRUE(Eventually([&] { return Free(second.DevNode()); }));
}

// The helper holds the product's lock for each client until it leaves the bus: a second client
// and a runner as root are kept off the product, and the helper keeps off one that root holds.
TEST_F(HelperService, HoldsTheProductsLockForItsClient) {
    auto first = std::make_unique<LinuxDevicePlatform>(std::make_shared<HelperCarrier>());
    first->ListDiskInterfaces();
    const DeviceHandle handle = first->OpenExclusive(product.Path());
    ASSERT_NE(handle, kInvalidDeviceHandle) << first->LastOpenError();
    first->Close(handle);  // between two codes of the product: the lock stays

    auto second = std::make_unique<LinuxDevicePlatform>(std::make_shared<HelperCarrier>());
    second->ListDiskInterfaces();
    EXPECT_EQ(second->OpenExclusive(product.Path()), kInvalidDeviceHandle);
    EXPECT_TRUE(Says(second->LastOpenError(),
                     "Error.InUse: the product is in use by torvex-isp-helper (pid "))
        << second->LastOpenError();
    LinuxDevicePlatform as_root;
    as_root.ListDiskInterfaces();
    EXPECT_EQ(as_root.OpenExclusive(product.Path()), kInvalidDeviceHandle);
    EXPECT_TRUE(Says(as_root.LastOpenError(), "in use by torvex-isp-helper (pid "))
        << as_root.LastOpenError();

    first.reset();  // the first client leaves the bus
    DeviceHandle root_handle = kInvalidDeviceHandle;
    EXPECT_TRUE(Eventually([&] {
        root_handle = as_root.OpenExclusive(product.Path());
        return root_handle != kInvalidDeviceHandle;
    })) << as_root.LastOpenError();
    as_root.Close(root_handle);
    EXPECT_EQ(second->OpenExclusive(product.Path()), kInvalidDeviceHandle);
    EXPECT_TRUE(Says(second->LastOpenError(), "in use by torvex_platform"))
        << second->LastOpenError();
}

// The helper leaves when idle, but not while a client between its product's codes (its disk let
// go, the product's lock still held) could lose the product to another instance.
TEST_F(HelperService, AnIdleExitWaitsUntilNoClientHoldsAProductsLock) {
    ASSERT_TRUE(bus.StartHelper(true, {"--idle-exit-ms", "100"}));
    auto client = std::make_unique<LinuxDevicePlatform>(std::make_shared<HelperCarrier>());
    client->ListDiskInterfaces();
    const DeviceHandle handle = client->OpenExclusive(product.Path());
    ASSERT_NE(handle, kInvalidDeviceHandle) << client->LastOpenError();
    client->Close(handle);

    // Ten idle periods: nothing may happen, so only the passing of time can show it.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_FALSE(bus.HelperEnded());
    LinuxDevicePlatform as_root;
    as_root.ListDiskInterfaces();
    EXPECT_EQ(as_root.OpenExclusive(product.Path()), kInvalidDeviceHandle);
    EXPECT_TRUE(Says(as_root.LastOpenError(), "in use by torvex-isp-helper (pid "))
        << as_root.LastOpenError();

    client.reset();  // the client leaves the bus: now the helper is idle
    EXPECT_TRUE(Eventually([&] { return bus.HelperEnded(); }));
    const DeviceHandle root_handle = as_root.OpenExclusive(product.Path());
    EXPECT_NE(root_handle, kInvalidDeviceHandle) << as_root.LastOpenError();
    as_root.Close(root_handle);
}

TEST_F(HelperService, AClaimTheAuthorityRefusesTakesNothing) {
    ASSERT_TRUE(bus.StartHelper(/*authorize=*/false));
    EXPECT_EQ(OpenThroughHelper(), kInvalidDeviceHandle);
    EXPECT_TRUE(Says(platform.LastOpenError(), "Error.NotAuthorized: the test's authority says no"))
        << platform.LastOpenError();
    EXPECT_TRUE(platform.TakeRawAccessAdvice().empty());  // the helper was there and said no
    // The bus lets go of the call that carried the descriptor right after the answer.
    EXPECT_TRUE(Eventually([&] { return Free(product.DevNode()); }));
    EXPECT_EQ(product.SeenCount(), 0u);
}

TEST_F(HelperService, WithoutTheHelperTheOperatorIsToldOnce) {
    bus.StopHelper();
    EXPECT_EQ(platform.TakeRawAccessAdvice(), linux_backend::kRawScsiAccessAdvice);
    EXPECT_TRUE(platform.TakeRawAccessAdvice().empty());
    EXPECT_EQ(OpenThroughHelper(), kInvalidDeviceHandle);
    EXPECT_TRUE(Says(platform.LastOpenError(), "torvex-isp-helper cannot be reached"))
        << platform.LastOpenError();
}

TEST_F(HelperService, ACommandHeldPastEitherSidesLimitReachesTheProductOnceAndFailsItsStep) {
    struct Case {
        const char* what;
        std::string helper_limit_ms;  // empty: the helper's own limit
        std::chrono::milliseconds client_wait;
        const char* said;
    };
    const Case cases[] = {
        {"the helper's limit", "300", std::chrono::milliseconds(0), "Error.OutcomeUnknown"},
        {"the client's wait", "", std::chrono::milliseconds(300), "not sent again"},
    };
    const Block program = [] {
        Block block = VendorBlock(0x29);
        for (std::size_t i = 7; i < 16; ++i) block[i] = static_cast<std::uint8_t>(i - 6);
        return block;
    }();
    const Block payload(65536, 0x5A);
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        HoldFolder folder;
        std::vector<std::string> options = {"--hold-dir", folder.path};
        if (!each.helper_limit_ms.empty())
            options.insert(options.end(), {"--command-limit-ms", each.helper_limit_ms});
        ASSERT_TRUE(bus.StartHelper(true, options));
        ScriptedDisk disk;
        FakeUsbDisk held{system, ProtectIspIdentity(), disk};
        LinuxDevicePlatform client{std::make_shared<HelperCarrier>(CommandWait(each.client_wait))};
        client.ListDiskInterfaces();
        const DeviceHandle handle = client.OpenExclusive(held.Path());
        ASSERT_NE(handle, kInvalidDeviceHandle) << client.LastOpenError();

        Hold hold(folder.path, held.DevNode());
        RecordingWindow window;
        StatusLog log(window);
        ScsiTransport transport(log, client);
        EXPECT_EQ(transport.SendSCSICommand(handle, program, DataPhase::Out(payload)), 0);
        EXPECT_TRUE(Says(transport.LastResult().diagnostic, each.said))
            << transport.LastResult().diagnostic;
        EXPECT_EQ(window.Lines().size(), 1u);  // one failed attempt, none after it

        ASSERT_TRUE(hold.Reached());
        hold.Release();
        EXPECT_TRUE(Eventually([&] { return disk.Received().size() == 1; }));
        client.Close(handle);
        ASSERT_EQ(disk.Received().size(), 1u);
        EXPECT_EQ(disk.Received()[0].cdb, program);
    }
}

TEST_F(HelperService, AStalledProductDoesNotDelayAnotherClientsProduct) {
    HoldFolder folder;
    ASSERT_TRUE(bus.StartHelper(true, {"--hold-dir", folder.path}));
    ScriptedDisk other_disk;
    FakeUsbDisk other{system, MaskCodeIdentity(), other_disk};
    // Without a worker per disk the other client's commands would wait out this wait and fail.
    LinuxDevicePlatform other_client{
        std::make_shared<HelperCarrier>(CommandWait(std::chrono::seconds(5)))};
    const DeviceHandle stalled = OpenThroughHelper();
    ASSERT_NE(stalled, kInvalidDeviceHandle) << platform.LastOpenError();
    other_client.ListDiskInterfaces();
    const DeviceHandle moving = other_client.OpenExclusive(other.Path());
    ASSERT_NE(moving, kInvalidDeviceHandle) << other_client.LastOpenError();

    Hold hold(folder.path, product.DevNode());
    PassThroughResult stalled_result;
    std::thread stalled_station(
        [&] { stalled_result = Send(stalled, VendorBlock(0x52), DataDirection::In, 0); });
    ASSERT_TRUE(hold.Reached());
    for (const std::uint8_t opcode : Block{0x52, 0x53, 0x58, 0x59}) {
        PassThroughRequest request;
        const Block cdb = VendorBlock(opcode);
        request.cdb = cdb;
        const PassThroughResult result = other_client.PassThrough(moving, request);
        EXPECT_TRUE(result.delivered) << result.diagnostic;
    }
    EXPECT_EQ(other_disk.Received().size(), 4u);
    EXPECT_EQ(backing.Received().size(), 0u);
    hold.Release();
    stalled_station.join();
    EXPECT_TRUE(stalled_result.delivered) << stalled_result.diagnostic;
    EXPECT_EQ(backing.Received().size(), 1u);
}

// Claim(h) sent on a connection of the test's own, without waiting for its answer.
void ClaimWithoutWaiting(sd_bus* connection, int fd) {
    sd_bus_message* raw = nullptr;
    ASSERT_GE(sd_bus_message_new_method_call(connection, &raw, linux_backend::kHelperBusName,
                                             linux_backend::kHelperObjectPath,
                                             linux_backend::kHelperInterface, "Claim"),
              0);
    linux_backend::SdBusMessagePtr message(raw);
    ASSERT_GE(sd_bus_message_append(raw, "h", fd), 0);
    ASSERT_GE(sd_bus_send(connection, raw, nullptr), 0);
    ASSERT_GE(sd_bus_flush(connection), 0);
}

TEST_F(HelperService, AClaimWaitingForTheAuthorityIsCancelledAndItsDiskLetGoAtOnce) {
    ASSERT_TRUE(bus.StartHelper(true, {"--silent"}));  // nobody types the password
    ScriptedDisk second_backing;
    FakeUsbDisk second{system, MaskCodeIdentity(), second_backing};
    enum class Ending { Release, NewerClaim, ClientLeaves, ClientGivesUp };
    for (const Ending ending :
         {Ending::Release, Ending::NewerClaim, Ending::ClientLeaves, Ending::ClientGivesUp}) {
        SCOPED_TRACE(static_cast<int>(ending));
        const int fd = OpenLocked(product.DevNode());
        ASSERT_GE(fd, 0);
        if (ending == Ending::ClientGivesUp) {
            HelperWaits waits;
            waits.claim = std::chrono::milliseconds(300);
            HelperCarrier client(waits);
            const std::string refusal = client.Attach(fd).refusal;
            EXPECT_TRUE(Says(refusal, "did not take the disk in time")) << refusal;
            close(fd);
            EXPECT_TRUE(Eventually([&] { return Free(product.DevNode()); }));
            continue;
        }
        sd_bus* raw = nullptr;
        ASSERT_GE(sd_bus_open_system(&raw), 0);
        linux_backend::SdBusPtr connection(raw);
        ClaimWithoutWaiting(raw, fd);
        close(fd);
        if (ending == Ending::Release) {
            linux_backend::SdBusError error;
            EXPECT_GE(sd_bus_call_method(
                          raw, linux_backend::kHelperBusName, linux_backend::kHelperObjectPath,
                          linux_backend::kHelperInterface, "Release", error.get(), nullptr, ""),
                      0);
        } else if (ending == Ending::NewerClaim) {
            const int second_fd = OpenLocked(second.DevNode());
            ClaimWithoutWaiting(raw, second_fd);
            close(second_fd);
        } else {
            connection.reset();
        }
        EXPECT_TRUE(Eventually([&] { return Free(product.DevNode()); }));
    }
    EXPECT_EQ(product.SeenCount(), 0u);
}

TEST_F(HelperService, AHelperToldToStopAnswersItsCommandThenLeavesItsClientsToldPlainly) {
    HoldFolder folder;
    ASSERT_TRUE(bus.StartHelper(true, {"--hold-dir", folder.path}));
    const DeviceHandle handle = OpenThroughHelper();
    ASSERT_NE(handle, kInvalidDeviceHandle) << platform.LastOpenError();
    Hold hold(folder.path, product.DevNode());
    PassThroughResult in_flight;
    std::thread station([&] { in_flight = Send(handle, VendorBlock(0x52), DataDirection::In, 0); });
    ASSERT_TRUE(hold.Reached());
    bus.SignalHelper();
    hold.Release();
    station.join();
    EXPECT_TRUE(in_flight.delivered) << in_flight.diagnostic;
    EXPECT_EQ(bus.StopHelper(), 0);

    // A new helper holds nothing for this client: the client says its own has gone.
    ASSERT_TRUE(bus.StartHelper());
    const PassThroughResult after = Send(handle, VendorBlock(0x53), DataDirection::In, 0);
    EXPECT_FALSE(after.delivered);
    EXPECT_TRUE(Says(after.diagnostic, "which held the disk, has gone")) << after.diagnostic;
    EXPECT_FALSE(Says(after.diagnostic, "NotClaimed")) << after.diagnostic;
    EXPECT_EQ(backing.Received().size(), 1u);
    platform.Close(handle);
}

}  // namespace
}  // namespace torvex::testing
