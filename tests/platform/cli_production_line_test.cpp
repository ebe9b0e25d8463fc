// Several products on one PC, each behind its own fake node on its own USB port, and runners as
// a production line starts them: --list, a run that must not choose, and one runner per port
// side by side, each with its trace.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "trace/trace_file.h"
#include "simulator/product_presets.h"
#include "simulator/sample_firmware.h"
#include "tests/platform/cli_child.h"
#include "tests/platform/virtual_product_node.h"

namespace torvex::testing {
namespace {

const std::vector<std::string> kFastRun = {"--tick-ms", "50", "--timeout-s", "20",
                                           "--allow-sample-firmware"};
constexpr std::chrono::seconds kLimit{40};

// What a listing may send: the boot-code query and the version checks' identity reads.
const std::set<std::string> kIdentityCommands = {
    "ISP_CMD_MASK_PROBE",      "ISP_CMD_SELECT_AES_KEY 0x00", "ISP_CMD_SELECT_AES_KEY 0x07",
    "ISP_CMD_PUT_BINX_HEADER", "ISP_CMD_GET_BINX_INFO",       "ISP_CMD_GET_FW_INFO",
    "ISP_CMD_GET_EF32_0_INFO"};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// One product per virtual world (a node takes its world's events), each on its own USB port.
struct TwoProducts : ::testing::Test {
    void Attach(sim::ProductPreset first, sim::ProductPreset second) {
        for (int i = 0; i < 2; ++i) {
            sim::ProductConfig config = sim::PresetConfig(i == 0 ? first : second);
            config.timing.removal_event_delay_ms = 30;
            config.timing.return_delay_ms = 200;
            products[i] = &worlds[i].AddProduct(config);
            nodes[i] = std::make_unique<VirtualProductNode>(system, worlds[i]);
        }
    }
    std::vector<ChildRun> Run(const std::vector<std::vector<std::string>>& runs) {
        std::vector<ChildRun> results =
            RunChildren(TORVEX_CLI_PATH, runs, {nodes[0].get(), nodes[1].get()}, kLimit);
        for (const ChildRun& run : results) EXPECT_EQ(run.problem, "");
        return results;
    }
    std::string Port(int i) const { return nodes[i]->PortPath(); }

    MockSystem system;
    sim::VirtualPlatform worlds[2];
    sim::VirtualProduct* products[2] = {};
    std::unique_ptr<VirtualProductNode> nodes[2];
};

TEST_F(TwoProducts, ListReadsOnlyIdentitiesAndARunWithoutAPortRefusesAndSendsNothing) {
    Attach(sim::ProductPreset::ApplicationOld, sim::ProductPreset::Ota);
    const ChildRun list = Run({{"--list"}}).front();
    EXPECT_EQ(list.status, 0) << list.err;
    const std::vector<std::string> lines = Lines(list.out);
    ASSERT_EQ(lines.size(), 2u) << list.out;
    EXPECT_EQ(lines[0].rfind(Port(0) + "\t2175:5001\tSN:2175APP00001\tapplication code\t", 0), 0u)
        << lines[0];
    EXPECT_NE(lines[0].find("\tupdate: EF32_0, then EF64 after the product restarts in OTA code"),
              std::string::npos)
        << lines[0];
    EXPECT_EQ(lines[1].rfind(Port(1) + "\t2175:5001\tSN:00000000EF320001\tOTA code\t", 0), 0u)
        << lines[1];
    for (sim::VirtualPlatform& world : worlds) {
        EXPECT_FALSE(world.Trace().empty());
        for (const sim::TraceEntry& entry : world.Trace())
            EXPECT_EQ(kIdentityCommands.count(entry.command), 1u) << sim::Describe(entry);
        EXPECT_TRUE(world.Violations().empty());
        world.ClearTrace();
    }

    const ChildRun refused = Run({kFastRun}).front();
    EXPECT_EQ(refused.status, 4);
    EXPECT_EQ(refused.out, Port(0) + "\t2175:5001\tSN:2175APP00001\tapplication code\n" + Port(1) +
                               "\t2175:5001\tSN:00000000EF320001\tOTA code\n");
    EXPECT_NE(refused.err.find("2 products are attached"), std::string::npos) << refused.err;
    for (const sim::VirtualPlatform& world : worlds) EXPECT_TRUE(world.Trace().empty());
    EXPECT_EQ(products[0]->Ef64().Identity(), sim::OldEf64Identity());
}

// The paths the run opened and the number of requests it sent, as its trace holds them.
struct TraceSummary {
    std::set<std::u16string> opened;
    std::size_t requests = 0;
};

TraceSummary Summarize(const std::string& text) {
    const TraceReading reading = ReadTrace(text);
    EXPECT_EQ(reading.error, "");
    TraceSummary summary;
    for (const TraceItem& item : reading.items) {
        const auto* record = std::get_if<PlatformRecord>(&item.content);
        if (record == nullptr) continue;
        if (const auto* open = std::get_if<TracedOpen>(&record->call))
            summary.opened.insert(open->path);
        summary.requests += std::holds_alternative<TracedRequest>(record->call) ? 1 : 0;
    }
    return summary;
}

TEST_F(TwoProducts, OneRunnerPerPortEachFollowsItsOwnProductThroughItsReplugs) {
    Attach(sim::ProductPreset::ApplicationOld, sim::ProductPreset::ProtectIsp);
    const std::string traces[2] = {FreshTempFile("/tmp/", "torvex_trace_a_"),
                                   FreshTempFile("/tmp/", "torvex_trace_b_")};
    std::vector<std::vector<std::string>> runs;
    for (int i = 0; i < 2; ++i) {
        runs.push_back(kFastRun);
        runs.back().insert(runs.back().end(), {"--port", Port(i), "--trace", traces[i]});
    }
    const std::vector<ChildRun> results = Run(runs);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(results[i].status, 0) << results[i].out << results[i].err;
        EXPECT_TRUE(worlds[i].Violations().empty());
        // Each trace holds its own product only, across the first one's re-enumeration.
        const TraceSummary summary = Summarize(ReadWholeFile(traces[i]));
        EXPECT_EQ(summary.opened, std::set<std::u16string>{nodes[i]->Path()});
        EXPECT_GT(summary.requests, 0u);
        std::remove(traces[i].c_str());
    }
    EXPECT_NE(results[0].out.find("Run Code at OTA Code\n"), std::string::npos) << results[0].out;
    EXPECT_EQ(products[0]->Ef64().Identity(), sim::SampleEf64Identity(1));
    EXPECT_EQ(products[0]->Ef32().Identity(), sim::SampleEf32Identity(1));
    EXPECT_EQ(products[1]->Ef64().Identity(), sim::SampleEf64Identity(1));
}

}  // namespace
}  // namespace torvex::testing
