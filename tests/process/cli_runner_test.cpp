// The runner module shared by both systems: a start-up that stops ends the run at once, and
// --verbose adds the transport's diagnostics to stderr and changes nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/poll_wait.h"
#include "cli/replay_run.h"
#include "cli/runner.h"
#include "resources/compiled_firmware_blocks.h"
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

// A system for one run: the given platform and events, the poll wait (or none), counting what the
// runner asks of it.
struct TestRun final : RunSystem {
    TestRun(DevicePlatform& platform_in, DeviceEventSource& events_in)
        : platform(platform_in), events(events_in) {}

    DevicePlatform& Platform() override { return platform; }
    DeviceEventSource& DeviceChanges() override { return events; }
    void Wait(Clock::time_point until) override {
        ++waits;
        if (poll) PollForEvents(events, until);
    }
    bool OnRealDevices() const override { return real_devices; }
    void AfterEachEvent() override { ++after_events; }
    void UpdateWriting() override { writing_at.push_back(commands()); }
    void RunEnded() override { ended_at.push_back(commands()); }

    DevicePlatform& platform;
    DeviceEventSource& events;
    bool poll = true;
    bool real_devices = false;
    int waits = 0;
    int after_events = 0;
    std::function<std::size_t()> commands = [] { return std::size_t{0}; };
    std::vector<std::size_t> writing_at;
    std::vector<std::size_t> ended_at;
};

using Output = testing::OutputFiles;

TEST(CliRunner, AStartUpWithoutEveryFirmwareBlockEndsAtOnce) {
    testing::MemoryFirmwareBlocks blocks = testing::MemoryFirmwareBlocks::Patterned();
    blocks.blocks.erase(164);
    testing::ScriptedPlatform platform;
    NoEvents events;
    TestRun run(platform, events);
    run.poll = false;
    Options options;
    options.timeout_s = 3600;
    Output output;
    const int status = RunTool(run, blocks, options, output.out, output.err);
    EXPECT_EQ(status, kExitNoEnding);
    EXPECT_EQ(run.waits, 0);
    EXPECT_EQ(run.after_events, 1);  // after start-up, as on every run
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
        TestRun run(platform, events);
        status = RunTool(run, blocks, options, output.out, output.err);
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
    const testing::MemoryFirmwareBlocks blocks = SampleBlocks();
    TestRun run(platform, events);
    run.commands = [&] { return platform.Trace().size(); };  // on the wire when told
    Options options;
    options.tick_ms = 20;
    options.timeout_s = 20;
    Output output;
    ASSERT_EQ(RunTool(run, blocks, options, output.out, output.err), 0);
    const std::vector<std::size_t>& writing_at = run.writing_at;
    const std::vector<std::size_t>& ended_at = run.ended_at;

    const auto& trace = platform.Trace();
    const std::string erase(sim::CommandName(sim::Command::EraseEf64Main));
    const auto first_erase = std::find_if(
        trace.begin(), trace.end(), [&](const auto& entry) { return entry.command == erase; });
    ASSERT_NE(first_erase, trace.end());
    ASSERT_FALSE(writing_at.empty());
    EXPECT_LE(writing_at.front(), static_cast<std::size_t>(first_erase - trace.begin()));
    EXPECT_EQ(ended_at, std::vector<std::size_t>{trace.size()});
}

// The refusal of sample firmware is the runner's, for every system: on real devices a build that
// carries sample blocks erases nothing unless the operator allowed it; the virtual product is
// written either way.
TEST(CliRunner, SampleFirmwareIsRefusedOnRealDevicesUnlessAllowed) {
    if (!CompiledFirmwareIsSample()) GTEST_SKIP() << "this build carries a vendor's firmware";
    struct Case {
        bool real_devices;
        bool allowed;
        int status;
    };
    for (const Case c : {Case{true, false, 2}, Case{true, true, 0}, Case{false, false, 0}}) {
        SCOPED_TRACE(std::to_string(c.real_devices) + " " + std::to_string(c.allowed));
        sim::VirtualPlatform platform;
        platform.AddProduct(sim::PresetConfig(sim::ProductPreset::ProtectIsp));
        sim::VirtualProductEvents events(platform);
        TestRun run(platform, events);
        run.real_devices = c.real_devices;
        Options options;
        options.tick_ms = 20;
        options.timeout_s = 20;
        options.allow_sample_firmware = c.allowed;
        Output output;
        EXPECT_EQ(RunTool(run, SampleBlocks(), options, output.out, output.err), c.status);
        const std::string erase(sim::CommandName(sim::Command::EraseEf64Main));
        const bool erased = std::any_of(platform.Trace().begin(), platform.Trace().end(),
                                        [&](const auto& entry) { return entry.command == erase; });
        EXPECT_EQ(erased, c.status == 0);
        EXPECT_EQ(output.Out().find("Update refused: ") != std::string::npos, c.status == 2);
    }
}

// A trace of a run on real devices replays as that run went, refused or allowed to write.
TEST(CliRunner, AReplayDecidesAboutSampleFirmwareAsTheRecordedRunDid) {
    if (!CompiledFirmwareIsSample()) GTEST_SKIP() << "this build carries a vendor's firmware";
    for (const bool allowed : {false, true}) {
        SCOPED_TRACE(allowed);
        const std::string trace =
            (std::filesystem::temp_directory_path() / "torvex_real_devices_trace.jsonl").string();
        sim::VirtualPlatform platform;
        platform.AddProduct(sim::PresetConfig(sim::ProductPreset::ProtectIsp));
        sim::VirtualProductEvents events(platform);
        TestRun run(platform, events);
        run.real_devices = true;
        Options options;
        options.tick_ms = 20;
        options.timeout_s = 20;
        options.allow_sample_firmware = allowed;
        options.trace = trace;
        Output recorded;
        const int status = RunTool(run, SampleBlocks(), options, recorded.out, recorded.err);
        EXPECT_EQ(status, allowed ? 0 : 2);
        Options replay;
        replay.replay = trace;
        Output replayed;
        EXPECT_EQ(RunReplay(replay, SampleBlocks(), replayed.out, replayed.err), status)
            << replayed.Err();
        EXPECT_EQ(replayed.Out(), recorded.Out());
        std::remove(trace.c_str());
    }
}

}  // namespace
}  // namespace torvex::cli
