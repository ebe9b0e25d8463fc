// The runner's production-line options on virtual products, in this process: --json against the
// plain output, --list on the product's own wire, and the kept traces of the virtual states
// replayed (a replay that leaves its trace names the request where it did).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "cli/poll_wait.h"
#include "cli/replay_run.h"
#include "cli/runner.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"
#include "simulator/virtual_product_events.h"
#include "tests/support/output_files.h"
#include "trace/json_line.h"

namespace torvex::cli {
namespace {

struct Captured {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void Attach(sim::VirtualPlatform& platform, const std::vector<sim::ProductPreset>& states) {
    for (const sim::ProductPreset state : states)
        platform.AddProduct(sim::PresetConfig(state)).Timing().return_delay_ms = 60;
}

// The runner on the virtual products attached to `platform`, with these options.
Captured RunVirtual(sim::VirtualPlatform& platform, Options options) {
    sim::VirtualProductEvents events(platform);
    options.tick_ms = 20;
    options.timeout_s = 20;
    testing::OutputFiles files;
    Captured run;
    PlatformRun system(platform, events, PollForEvents);
    run.status = RunTool(system, CompiledFirmwareBlocks(), options, files.out, files.err);
    run.out = files.Out();
    run.err = files.Err();
    return run;
}

TEST(CliJson, LogEventsAreThePlainLinesAndTheRunEndsWithOneEnding) {
    for (const auto state : {sim::ProductPreset::ApplicationOld, sim::ProductPreset::Mask0110}) {
        SCOPED_TRACE(std::string(sim::PresetName(state)));
        sim::VirtualPlatform plain_world;
        sim::VirtualPlatform json_world;
        Attach(plain_world, {state});
        Attach(json_world, {state});
        const Captured plain = RunVirtual(plain_world, {});
        Options json_options;
        json_options.json = true;
        const Captured json = RunVirtual(json_world, json_options);

        std::string log;
        std::string boxes;
        std::vector<std::string> events;
        for (const std::string& line : Lines(json.out)) {
            const JsonParse parsed = ParseJsonObject(line);
            ASSERT_TRUE(parsed.object) << parsed.error << ": " << line;
            const JsonObject& event = *parsed.object;
            ASSERT_EQ(event.count("ms"), 1u) << line;
            events.push_back(event.at("event").text);
            if (events.back() == "log") log += event.at("text").text + "\n";
            if (events.back() == "box") boxes += event.at("text").text + "\n";
            if (events.back() == "ending") {
                EXPECT_EQ(event.at("exit").number, plain.status);
            }
        }
        EXPECT_EQ(log, plain.out);
        EXPECT_EQ(boxes, plain.err);
        EXPECT_EQ(json.err, "");
        EXPECT_EQ(json.status, plain.status);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back(), "ending");
        EXPECT_EQ(std::count(events.begin(), events.end(), "ending"), 1);
        for (const char* kind : {"picture", "progress", "button"})
            EXPECT_NE(std::find(events.begin(), events.end(), kind), events.end()) << kind;
    }
}

TEST(CliList, SendsOnlyIdentityReadsAndChangesNoBank) {
    const std::set<std::string> identity_reads = {
        "ISP_CMD_MASK_PROBE",      "ISP_CMD_SELECT_AES_KEY 0x00", "ISP_CMD_SELECT_AES_KEY 0x07",
        "ISP_CMD_PUT_BINX_HEADER", "ISP_CMD_GET_BINX_INFO",       "ISP_CMD_GET_FW_INFO",
        "ISP_CMD_GET_EF32_0_INFO"};
    const std::vector<sim::ProductPreset> states = {
        sim::ProductPreset::ApplicationOld, sim::ProductPreset::ApplicationAntique,
        sim::ProductPreset::Ota, sim::ProductPreset::ProtectIsp, sim::ProductPreset::Mask0210};
    sim::VirtualPlatform world;
    Attach(world, states);
    std::vector<std::pair<sim::IdentityBlock, sim::IdentityBlock>> banks;
    for (std::size_t i = 0; i < states.size(); ++i)
        banks.emplace_back(world.Product(i).Ef64().Identity(), world.Product(i).Ef32().Identity());
    Options options;
    options.list = true;
    const Captured run = RunVirtual(world, options);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), states.size()) << run.out;
    EXPECT_NE(lines[1].find("\tEF64 bank -\t"), std::string::npos) << lines[1];
    EXPECT_NE(lines[4].find("\tmask code 0210\t"), std::string::npos) << lines[4];
    EXPECT_TRUE(world.Violations().empty());
    for (const sim::TraceEntry& entry : world.Trace())
        EXPECT_EQ(identity_reads.count(entry.command), 1u) << sim::Describe(entry);
    for (std::size_t i = 0; i < states.size(); ++i) {
        EXPECT_EQ(world.Product(i).Ef64().Identity(), banks[i].first) << lines[i];
        EXPECT_EQ(world.Product(i).Ef32().Identity(), banks[i].second) << lines[i];
        EXPECT_EQ(world.Product(i).Mode(), sim::PresetConfig(states[i]).mode) << lines[i];
    }
}

// The serial changes when the product restarts in OTA code; the runner keeps to its port.
TEST(CliSelection, BySerialTheRunFollowsItsProductAndTouchesNoOther) {
    sim::VirtualPlatform world;
    Attach(world, {sim::ProductPreset::Ota, sim::ProductPreset::ApplicationOld});
    Options options;
    options.serial = "2175APP00001";
    const Captured run = RunVirtual(world, options);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("SN:00000000EF320001\n"), std::string::npos) << run.out;
    EXPECT_TRUE(world.Violations().empty());
    ASSERT_FALSE(world.Trace().empty());
    for (const sim::TraceEntry& entry : world.Trace())
        EXPECT_EQ(entry.disk, 1u) << sim::Describe(entry);
}

Captured Replay(const std::filesystem::path& trace) {
    Options options;
    options.replay = trace.string();
    testing::OutputFiles files;
    Captured run;
    run.status = RunReplay(options, CompiledFirmwareBlocks(), files.out, files.err);
    run.out = files.Out();
    run.err = files.Err();
    return run;
}

// Each kept trace, replayed by today's tool, gives the output the recorded run gave and ends as
// it ended; a change of what crosses the wire shows here as the first request that differs.
TEST(CliReplay, KeptTracesOfTheVirtualStatesReplayAsRecorded) {
    if (!CompiledFirmwareIsSample())
        GTEST_SKIP() << "the traces were recorded with sample firmware";
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TORVEX_TRACES_DIR)) {
        if (entry.path().extension() != ".jsonl") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const Captured run = Replay(entry.path());
        EXPECT_NE(run.status, kExitLeftTrace) << run.err;
        std::filesystem::path expected = entry.path();
        EXPECT_EQ(run.out, ReadFile(expected.replace_extension(".out")));
        ++replayed;
    }
    EXPECT_GE(replayed, sim::AllPresets().size());
}

// The trace's ticks and clicks are the ones the run's own loop dispatches: a trace whose click
// became a tick, or whose device change lost its type, is left at that line.
TEST(CliReplay, TheTracesMarksMustBeTheRunsOwn) {
    if (!CompiledFirmwareIsSample())
        GTEST_SKIP() << "the traces were recorded with sample firmware";
    const std::string recorded =
        ReadFile(std::filesystem::path(TORVEX_TRACES_DIR) / "application-old.jsonl");
    struct Case {
        std::string from;
        std::string to;
        std::string named;  // in the message, before " (line N)" or after "line N: "
    };
    const Case cases[] = {
        {"\"op\":\"click\"", "\"op\":\"tick\"",
         "the run made a click where the trace has its 'tick'"},
        {"\"op\":\"device\",\"type\":32768", "\"op\":\"device\"",
         "a device change without its type"},
        {"\"op\":\"click\"", "\"op\":\"knock\"", "'knock' is no tick, click or device change"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        std::string changed = recorded;
        const std::size_t at = changed.find(c.from);
        ASSERT_NE(at, std::string::npos);
        changed.replace(at, c.from.size(), c.to);
        const std::string line =
            "line " + std::to_string(1 + std::count(changed.begin(), changed.begin() + at, '\n'));
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / "torvex_changed_marks.jsonl";
        std::ofstream(path, std::ios::binary) << changed;
        const Captured run = Replay(path);
        std::filesystem::remove(path);
        EXPECT_EQ(run.status, kExitLeftTrace);
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
    }
}

TEST(CliReplay, ARunThatLeavesItsTraceEndsWithFiveAndNamesTheRequest) {
    if (!CompiledFirmwareIsSample())
        GTEST_SKIP() << "the traces were recorded with sample firmware";
    const std::string recorded =
        ReadFile(std::filesystem::path(TORVEX_TRACES_DIR) / "application-old.jsonl");
    struct Case {
        const char* description;
        std::string after;  // where to start looking
        std::string from;   // its first occurrence from there is replaced
        std::string to;
        std::string named;  // in the message
    };
    const Case cases[] = {
        {"the product's firmware is asked for the other bank", "",
         "\"cdb\":\"FFA00400000000000000000000000000\"",
         "\"cdb\":\"FFA00500000000000000000000000000\"",
         "the run made request FF A0 04 00 00 00 00 00 00 00 00 00 00 00 00 00 (in, 64 bytes"},
        {"the image header sent differs", "\"dir\":\"out\"", "\"sent_sha256\":\"",
         "\"sent_sha256\":\"00",
         "the run made request FF A0 06 00 00 00 00 00 00 00 00 00 00 00 00 00 (out, 2048 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        std::string changed = recorded;
        const std::size_t at = changed.find(c.from, changed.find(c.after));
        ASSERT_NE(at, std::string::npos);
        changed.replace(at, c.from.size(), c.to);
        const std::size_t line = 1 + std::count(changed.begin(), changed.begin() + at, '\n');
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / "torvex_changed_trace.jsonl";
        std::ofstream(path, std::ios::binary) << changed;
        const Captured run = Replay(path);
        std::filesystem::remove(path);
        EXPECT_EQ(run.status, kExitLeftTrace);
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("(line " + std::to_string(line) + ", the "), std::string::npos)
            << run.err;
    }
}

}  // namespace
}  // namespace torvex::cli
