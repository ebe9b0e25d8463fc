// The runner module shared by both systems: a start-up that stops ends the run at once, and
// --verbose adds the transport's diagnostics to stderr and changes nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "cli/poll_wait.h"
#include "cli/runner.h"
#include "simulator/command_table.h"
#include "simulator/product_presets.h"
#include "simulator/sample_firmware.h"
#include "simulator/virtual_platform.h"
#include "simulator/virtual_product_events.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/output_files.h"
#include "tests/support/scripted_platform.h"

namespace torvex::cli {
namespace {

struct NoEvents final : DeviceEventSource {
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point) override { return {}; }
};

using Output = testing::OutputFiles;

TEST(CliRunner, AStartUpWithoutEveryFirmwareBlockEndsAtOnce) {
    testing::MemoryFirmwareBlocks blocks = testing::MemoryFirmwareBlocks::Patterned();
    blocks.blocks.erase(164);
    testing::ScriptedPlatform platform;
    NoEvents events;
    int waits = 0;
    int after_events = 0;
    Options options;
    options.timeout_s = 3600;
    Output output;
    const int status = RunTool(
        {platform, events, blocks, [&](const DeviceEventSource&, Clock::time_point) { ++waits; },
         [&] { ++after_events; }},
        options, output.out, output.err);
    EXPECT_EQ(status, kExitNoEnding);
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(after_events, 1);  // after start-up, as on every run
    EXPECT_EQ(output.Err(), "findresource\n");
}

testing::MemoryFirmwareBlocks SampleBlocks() {
    testing::MemoryFirmwareBlocks blocks;
    for (std::uint16_t id : kFirmwareBlockLoadOrder)
        blocks.blocks[id] = sim::MakeSampleFirmwareBlock(id);
    return blocks;
}

// A protected-ISP product whose first command is not delivered once: the transport's second
// attempt carries it, and the update completes.
struct VerboseRun {
    explicit VerboseRun(bool verbose) {
        sim::VirtualPlatform platform;
        platform.AddProduct(sim::PresetConfig(sim::ProductPreset::ProtectIsp))
            .Faults()
            .Add(sim::Fault::OnNthRequest(1, sim::FaultAction::Fail));
        sim::VirtualProductEvents events(platform);
        Options options;
        options.tick_ms = 20;
        options.timeout_s = 20;
        options.verbose = verbose;
        Output output;
        const testing::MemoryFirmwareBlocks blocks = SampleBlocks();
        status =
            RunTool({platform, events, blocks, PollForEvents, {}}, options, output.out, output.err);
        out = output.Out();
        err = output.Err();
    }
    int status;
    std::string out;
    std::string err;
};

TEST(CliRunner, VerbosePrintsOneTransportLineForEachFailedAttemptAndNothingElseChanges) {
    const VerboseRun plain(false);
    const VerboseRun verbose(true);
    EXPECT_EQ(plain.status, 0) << plain.out;
    EXPECT_EQ(verbose.status, 0);
    EXPECT_EQ(plain.out, verbose.out);
    EXPECT_NE(plain.out.find("SendSCSICommand FAIL : >0x0<\n"), std::string::npos) << plain.out;
    EXPECT_EQ(plain.err, "");
    const std::string prefix = "torvex-isp-cli: transport: command FF ";
    ASSERT_EQ(verbose.err.rfind(prefix, 0), 0u) << verbose.err;
    EXPECT_NE(verbose.err.find("attempt 1 of 3: not delivered: virtual product: "),
              std::string::npos)
        << verbose.err;
    EXPECT_EQ(verbose.err.find('\n'), verbose.err.size() - 1) << "one line: " << verbose.err;
}

// The hooks that keep the system awake: writing is told before the first erase reaches the
// product, the ending once, after the last command.
TEST(CliRunner, TheSystemIsKeptAwakeFromBeforeTheFirstEraseToTheEnding) {
    sim::VirtualPlatform platform;
    platform.AddProduct(sim::PresetConfig(sim::ProductPreset::ProtectIsp));
    sim::VirtualProductEvents events(platform);
    std::vector<std::size_t> writing_at;  // commands on the wire when told
    std::vector<std::size_t> ended_at;
    const testing::MemoryFirmwareBlocks blocks = SampleBlocks();
    ToolRun run{platform, events, blocks, PollForEvents, {}};
    run.update_writing = [&] { writing_at.push_back(platform.Trace().size()); };
    run.run_ended = [&] { ended_at.push_back(platform.Trace().size()); };
    Options options;
    options.tick_ms = 20;
    options.timeout_s = 20;
    Output output;
    ASSERT_EQ(RunTool(run, options, output.out, output.err), 0);

    const auto& trace = platform.Trace();
    const std::string erase(sim::CommandName(sim::Command::EraseEf64Main));
    const auto first_erase = std::find_if(
        trace.begin(), trace.end(), [&](const auto& entry) { return entry.command == erase; });
    ASSERT_NE(first_erase, trace.end());
    ASSERT_FALSE(writing_at.empty());
    EXPECT_LE(writing_at.front(), static_cast<std::size_t>(first_erase - trace.begin()));
    EXPECT_EQ(ended_at, std::vector<std::size_t>{trace.size()});
}

}  // namespace
}  // namespace torvex::cli
