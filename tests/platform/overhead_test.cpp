// What one command costs through the back end and the fake node, measured, not asserted: the
// umockdev round trip dominates, so the figures bound what the end-to-end tests can expect.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "device/linux/linux_device_platform.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/scripted_disk.h"

namespace torvex::testing {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsPerCommand(Clock::time_point start, int commands) {
    const std::chrono::duration<double, std::milli> spent = Clock::now() - start;
    return spent.count() / commands;
}

TEST(Overhead, PerCommandThroughTheFakeNode) {
    MockSystem system;
    ScriptedDisk backing;
    FakeUsbDisk product(system, ProtectIspIdentity(), backing);
    linux_backend::LinuxDevicePlatform platform([] { return true; });
    platform.ListDiskInterfaces();
    const DeviceHandle handle = platform.OpenExclusive(product.Path());
    ASSERT_NE(handle, kInvalidDeviceHandle);

    const std::array<std::uint8_t, 16> cdb = {0xFF, 0x29};
    PassThroughRequest request;
    request.cdb = cdb;
    constexpr int kNoDataCommands = 1000;
    int delivered = 0;
    auto start = Clock::now();
    for (int i = 0; i < kNoDataCommands; ++i)
        delivered += platform.PassThrough(handle, request).delivered;
    const double no_data = MillisecondsPerCommand(start, kNoDataCommands);

    std::vector<std::uint8_t> block(65536, 0x5A);
    request.direction = DataDirection::Out;
    request.data_out = block.data();
    request.length = static_cast<std::uint32_t>(block.size());
    constexpr int kDataOutCommands = 100;
    start = Clock::now();
    for (int i = 0; i < kDataOutCommands; ++i)
        delivered += platform.PassThrough(handle, request).delivered;
    const double data_out = MillisecondsPerCommand(start, kDataOutCommands);
    platform.Close(handle);

    EXPECT_EQ(delivered, kNoDataCommands + kDataOutCommands);
    EXPECT_EQ(product.SeenCount(), static_cast<std::size_t>(kNoDataCommands + kDataOutCommands));
    EXPECT_EQ(backing.Received().back().data_out, block);
    std::printf(
        "overhead: %.3f ms per no-data command (%d), %.3f ms per 64 KiB data-out command (%d)\n",
        no_data, kNoDataCommands, data_out, kDataOutCommands);
    ::testing::Test::RecordProperty("no_data_ms", std::to_string(no_data));
    ::testing::Test::RecordProperty("data_out_64k_ms", std::to_string(data_out));
}

}  // namespace
}  // namespace torvex::testing
