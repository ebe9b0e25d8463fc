// Many products at once: N virtual products, each behind its own fake umockdev node on its own
// USB port under one testbed, and N runners started side by side as child processes, one per
// port (--port), each updating its product from application code in two runs (with its
// re-enumeration in OTA code). The products' clocks follow the real time; each product comes
// back 1.5 s after it leaves and the runners tick every second, as on a real desk. Wall time is
// from the start of the runners to the end of the last one, median of the repetitions; CPU is
// that of the runners (user + system, all of them) and that of this process, which plays the
// products (the umockdev handlers and the virtual products' work).
// Runs only under umockdev-wrapper (scripts/bench.sh starts it so); prints a markdown table and
// one line of name=value figures.
//   usage: torvex-bench-scale [repetitions, default 3] [directory for the runners' traces]
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "simulator/product_presets.h"
#include "simulator/sample_firmware.h"
#include "tests/platform/cli_child.h"
#include "tests/platform/virtual_product_node.h"

namespace {

using namespace torvex;

constexpr std::chrono::seconds kLimit{120};

double CpuMs(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Round {
    double wall_ms = 0;
    double runners_cpu_ms = 0;
    double products_cpu_ms = 0;
    bool all_updated = true;
};

// N products, N runners at once; with `traces`, each runner writes its trace there.
Round RunRound(int n, const std::string& traces) {
    testing::MockSystem system;
    std::vector<std::unique_ptr<sim::VirtualPlatform>> worlds;
    std::vector<std::unique_ptr<testing::VirtualProductNode>> nodes;
    std::vector<testing::VirtualProductNode*> node_list;
    std::vector<std::vector<std::string>> runs;
    for (int i = 0; i < n; ++i) {
        worlds.push_back(std::make_unique<sim::VirtualPlatform>());
        sim::ProductConfig config = sim::PresetConfig(sim::ProductPreset::ApplicationOld);
        config.timing.removal_event_delay_ms = 50;
        config.timing.return_delay_ms = 1500;
        worlds.back()->AddProduct(config);
        nodes.push_back(std::make_unique<testing::VirtualProductNode>(system, *worlds.back()));
        node_list.push_back(nodes.back().get());
        runs.push_back(
            {"--port", nodes.back()->PortPath(), "--allow-sample-firmware", "--timeout-s", "60"});
        if (!traces.empty())
            runs.back().insert(runs.back().end(),
                               {"--trace", traces + "/n" + std::to_string(n) + "-port-" +
                                               nodes.back()->PortPath() + ".jsonl"});
    }
    const double runners_cpu = CpuMs(RUSAGE_CHILDREN);
    const double products_cpu = CpuMs(RUSAGE_SELF);
    const std::vector<testing::ChildRun> results =
        testing::RunChildren(TORVEX_CLI_PATH, runs, node_list, kLimit);
    Round round;
    round.runners_cpu_ms = CpuMs(RUSAGE_CHILDREN) - runners_cpu;
    round.products_cpu_ms = CpuMs(RUSAGE_SELF) - products_cpu;
    for (int i = 0; i < n; ++i) {
        const testing::ChildRun& run = results[static_cast<std::size_t>(i)];
        round.wall_ms = std::max(round.wall_ms, static_cast<double>(run.took.count()));
        const bool updated =
            run.status == 0 && worlds[static_cast<std::size_t>(i)]->Product().Ef64().Identity() ==
                                   sim::SampleEf64Identity(1);
        if (!updated)
            std::fprintf(stderr, "runner %d of %d: status %d %s\n%s%s", i + 1, n, run.status,
                         run.problem.c_str(), run.out.c_str(), run.err.c_str());
        round.all_updated = round.all_updated && updated;
    }
    return round;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string traces = argc > 2 ? argv[2] : "";
    // The runners' per-product locks stay out of /run/torvex-isp.
    std::string locks = "/tmp/torvex-scale-locks-XXXXXX";
    if (mkdtemp(locks.data()) != nullptr) setenv("TORVEX_LOCK_DIR", locks.c_str(), 1);

    std::printf(
        "| Runners at once (one product each) | Wall time, median of %d | vs. one alone "
        "| Runners' CPU (all) | Products' CPU (this process) | All updated |\n",
        repetitions);
    std::printf("|---|---|---|---|---|---|\n");
    std::string figures;
    double alone_ms = 0;
    bool all_updated = true;
    for (const int n : {1, 4, 8}) {
        std::vector<double> wall;
        std::vector<double> runners;
        std::vector<double> products;
        bool updated = true;
        for (int r = 0; r < repetitions; ++r) {
            const Round round = RunRound(n, traces);
            wall.push_back(round.wall_ms);
            runners.push_back(round.runners_cpu_ms);
            products.push_back(round.products_cpu_ms);
            updated = updated && round.all_updated;
        }
        const double median = Median(wall);
        if (n == 1) alone_ms = median;
        all_updated = all_updated && updated;
        std::printf("| %d | %.2f s | %.3fx | %.0f ms | %.0f ms | %s |\n", n, median / 1e3,
                    median / alone_ms, Median(runners), Median(products), updated ? "yes" : "NO");
        figures += " n" + std::to_string(n) + "_wall_ms=" + std::to_string(median);
    }
    std::printf("scale:%s\n", figures.c_str());
    return all_updated ? 0 : 1;
}
