// A stop asked for while an update writes the product: the procedure runs to its end, the runner
// then ends with 130 and names the last step, and a second update of the same product succeeds.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "cli/interruption.h"
#include "cli/poll_wait.h"
#include "cli/runner.h"
#include "device/forwarding_platform.h"
#include "simulator/product_presets.h"
#include "simulator/sample_firmware.h"
#include "simulator/virtual_platform.h"
#include "simulator/virtual_product_events.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/output_files.h"

namespace torvex::cli {
namespace {

// The virtual product, with SIGTERM raised as the first program command with `opcode` arrives: in
// the middle of a procedure.
class SignalDuringProgramming final : public ForwardingPlatform {
  public:
    SignalDuringProgramming(sim::VirtualPlatform& platform, std::uint8_t opcode)
        : ForwardingPlatform(platform), opcode_(opcode) {}
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override {
        if (!raised && request.cdb.size() > 1 && request.cdb[1] == opcode_) {
            raised = true;
            std::raise(SIGTERM);
        }
        return ForwardingPlatform::PassThrough(handle, request);
    }
    bool raised = false;

  private:
    std::uint8_t opcode_;
};

// Raises SIGTERM at the first listing of the disks: at start-up, while nothing is written.
class SignalAtListing final : public ForwardingPlatform {
  public:
    using ForwardingPlatform::ForwardingPlatform;
    DiskListing ListDiskInterfaces() override {
        if (++listings == 1) std::raise(SIGTERM);
        return ForwardingPlatform::ListDiskInterfaces();
    }
    int listings = 0;
};

struct RunnerRun {
    RunnerRun(DevicePlatform& platform, sim::VirtualPlatform& world) {
        testing::MemoryFirmwareBlocks blocks;
        for (std::uint16_t id : kFirmwareBlockLoadOrder)
            blocks.blocks[id] = sim::MakeSampleFirmwareBlock(id);
        sim::VirtualProductEvents events(world);
        Options options;
        options.tick_ms = 20;
        options.timeout_s = 20;
        testing::OutputFiles files;
        PlatformRun run(platform, events, PollForEvents);
        status = RunTool(run, blocks, options, files.out, files.err);
        out = files.Out();
        err = files.Err();
    }
    int status;
    std::string out;
    std::string err;
};

// A product in application code with old firmware, as the two-run update finds it.
struct CliInterruption : ::testing::Test {
    CliInterruption()
        : product(world.AddProduct(sim::PresetConfig(sim::ProductPreset::ApplicationOld))) {
        InstallInterruptionHandlers();
        ClearInterruption();
        product.Timing().return_delay_ms = 60;
    }
    ~CliInterruption() override { ClearInterruption(); }

    sim::VirtualPlatform world;
    sim::VirtualProduct& product;
};

TEST_F(CliInterruption, ASignalDuringTheEf64ProcedureLetsItFinishThenEndsWith130) {
    SignalDuringProgramming platform(world, ISP_CMD_PROGRAM_EF64_MAIN);

    const RunnerRun interrupted(platform, world);
    EXPECT_TRUE(platform.raised);
    EXPECT_EQ(interrupted.status, kExitInterrupted);
    // The procedure ran to its jump: the bank holds the whole image.
    EXPECT_NE(interrupted.out.find("Jump to EFlash 64*8\n"), std::string::npos) << interrupted.out;
    EXPECT_EQ(
        interrupted.err,
        "torvex-isp-cli: interrupted by SIGTERM while the update wrote the product; the last "
        "step done: \"Updat FW.... Update complete !!\"; the update had completed, run it once "
        "more to confirm\n");
    EXPECT_EQ(product.Ef64().Identity(), sim::SampleEf64Identity(1));
    EXPECT_TRUE(world.Violations().empty());

    ClearInterruption();
    world.AdvanceClock(1000);  // the product is back from its jump
    world.TakeEvents();
    const RunnerRun again(world, world);
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(again.err, "Your device is already updated.\n");
    EXPECT_TRUE(world.Violations().empty());
}

// In the first run of a two-run update: EF32_0 is written to its end and the product sent to its
// OTA code; the runner stops there, and the next run writes EF64.
TEST_F(CliInterruption, ASignalBetweenTheTwoRunsLeavesAProductTheNextRunFinishes) {
    SignalDuringProgramming platform(world, ISP_CMD_PROGRAM_EF32_0_MAIN);

    const RunnerRun interrupted(platform, world);
    EXPECT_EQ(interrupted.status, kExitInterrupted);
    EXPECT_EQ(interrupted.err,
              "torvex-isp-cli: interrupted by SIGTERM while the update wrote the product; the last "
              "step done: \"Jump to EFlash\"; the product needs another update\n")
        << interrupted.out;
    EXPECT_EQ(product.Ef32().Identity(), sim::SampleEf32Identity(1));

    ClearInterruption();
    const RunnerRun again(world, world);
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(product.Ef64().Identity(), sim::SampleEf64Identity(1));
    EXPECT_TRUE(world.Violations().empty());
}

#if !defined(_WIN32)
// Outside a procedure a stop is at once, yet with --json the stream still ends with its ending.
TEST(CliStopAtOnce, TheJsonStreamEndsWithAnInterruptedEnding) {
    std::fflush(nullptr);
    testing::OutputFiles files;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallInterruptionHandlers();
        ClearInterruption();
        sim::VirtualPlatform world;  // no product: the runner waits for one, writing nothing
        SignalAtListing platform(world);
        testing::MemoryFirmwareBlocks blocks;
        sim::VirtualProductEvents events(world);
        Options options;
        options.json = true;
        options.timeout_s = 20;
        PlatformRun run(platform, events, PollForEvents);
        RunTool(run, blocks, options, files.out, files.err);
        _exit(99);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitInterrupted);
    const std::string out = files.Out();
    const std::size_t last = out.rfind('\n', out.size() - 2);
    const std::string ending = out.substr(last == std::string::npos ? 0 : last + 1);
    EXPECT_TRUE(ending.starts_with("{\"ms\":")) << out;
    EXPECT_TRUE(
        ending.ends_with(",\"event\":\"ending\",\"result\":\"interrupted\",\"exit\":130}\n"))
        << out;
}
#endif

}  // namespace
}  // namespace torvex::cli
