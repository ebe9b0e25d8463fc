// What one command costs through the Linux back end and a fake umockdev node: 1000 no-data
// commands and 100 commands of 64 KiB data out, each set timed in CPU time (the whole process,
// the node's handler included) and wall time. The umockdev round trip dominates, so the figures
// bound what the end-to-end platform tests can expect of a machine. Runs only under
// umockdev-wrapper (scripts/bench.sh starts it so); prints one line of name=value figures.
#include <cstdio>
#include <ctime>
#include <vector>

#include "device/linux/linux_device_platform.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/mock_system.h"
#include "tests/platform/scripted_disk.h"

namespace {

using namespace torvex;

struct Clocks {
    double cpu_ms;
    double wall_ms;
};

double NowMs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

Clocks Now() {
    return {NowMs(CLOCK_PROCESS_CPUTIME_ID), NowMs(CLOCK_MONOTONIC)};
}

// Sends `request` `count` times; returns the milliseconds per command and adds the deliveries.
Clocks PerCommand(linux_backend::LinuxDevicePlatform& platform, DeviceHandle handle,
                  const PassThroughRequest& request, int count, int& delivered) {
    const Clocks start = Now();
    for (int i = 0; i < count; ++i) delivered += platform.PassThrough(handle, request).delivered;
    const Clocks end = Now();
    return {(end.cpu_ms - start.cpu_ms) / count, (end.wall_ms - start.wall_ms) / count};
}

}  // namespace

int main() {
    testing::MockSystem system;  // outside umockdev-wrapper it refuses and exits with 77
    testing::ScriptedDisk backing;
    testing::FakeUsbDisk product(system, testing::ProtectIspIdentity(), backing);
    linux_backend::LinuxDevicePlatform platform([] { return true; });
    platform.ListDiskInterfaces();
    const DeviceHandle handle = platform.OpenExclusive(product.Path());
    if (handle == kInvalidDeviceHandle) {
        std::fputs("torvex-bench-platform: the fake node did not open\n", stderr);
        return 1;
    }

    constexpr int kNoDataCommands = 1000;
    constexpr int kDataOutCommands = 100;
    const std::uint8_t cdb[16] = {0xFF, 0x29};
    PassThroughRequest request;
    request.cdb = cdb;
    int delivered = 0;
    const Clocks no_data = PerCommand(platform, handle, request, kNoDataCommands, delivered);

    const std::vector<std::uint8_t> block(65536, 0x5A);
    request.direction = DataDirection::Out;
    request.data_out = block.data();
    request.length = static_cast<std::uint32_t>(block.size());
    const Clocks data_out = PerCommand(platform, handle, request, kDataOutCommands, delivered);
    platform.Close(handle);

    // Figures of commands that did not arrive whole would be worthless.
    constexpr int kCommands = kNoDataCommands + kDataOutCommands;
    if (delivered != kCommands || product.SeenCount() != static_cast<std::size_t>(kCommands) ||
        backing.Received().back().data_out != block) {
        std::fprintf(stderr, "torvex-bench-platform: %d of %d commands delivered whole\n",
                     delivered, kCommands);
        return 1;
    }
    std::printf(
        "no_data_cpu_ms=%.4f no_data_wall_ms=%.4f no_data_commands=%d data_out_64k_cpu_ms=%.4f "
        "data_out_64k_wall_ms=%.4f data_out_commands=%d\n",
        no_data.cpu_ms, no_data.wall_ms, kNoDataCommands, data_out.cpu_ms, data_out.wall_ms,
        kDataOutCommands);
    return 0;
}
