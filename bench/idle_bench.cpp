// An hour of waiting: 3600 ticks handed to the tool directly, with no product, with a product
// found and checked, and with a mask-code product that never answers its probe. Also how much
// the status log grows in that hour.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/scenario_run.h"
#include "simulator/command_table.h"
#include "simulator/fault_plan.h"

namespace {

using torvex::testing::Scenario;
constexpr int kTicksPerHour = 3600;

std::unique_ptr<Scenario> NoProduct() {
    return std::make_unique<Scenario>();
}

std::unique_ptr<Scenario> ProductFound() {
    return torvex::bench::ReadyToUpdate(torvex::sim::ProductPreset::ApplicationOld);
}

std::unique_ptr<Scenario> SilentMaskProduct() {
    auto scenario = std::make_unique<Scenario>();
    auto config = torvex::sim::PresetConfig(torvex::sim::ProductPreset::Mask0110);
    config.faults.push_back(
        torvex::sim::Fault::On(torvex::sim::Command::MaskProbe, torvex::sim::FaultAction::Fail)
            .Always());
    scenario->platform.AddProduct(config);
    return scenario;
}

void BM_IdleHour(benchmark::State& state, std::unique_ptr<Scenario> (*make)()) {
    std::size_t lines = 0;
    std::size_t utf16_units = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto scenario = make();
        if (!scenario) {
            state.SkipWithError("the product was not found");
            break;
        }
        scenario->Start();
        scenario->Tick(5);  // past start-up's own discovery and checks
        scenario->platform.ClearTrace();
        const std::size_t log_before = scenario->window.status_log.size();
        const std::size_t lines_before = scenario->window.Lines().size();
        state.ResumeTiming();
        scenario->Tick(kTicksPerHour);
        state.PauseTiming();
        utf16_units = scenario->window.status_log.size() - log_before;
        lines = scenario->window.Lines().size() - lines_before;
        scenario.reset();
        state.ResumeTiming();
    }
    state.counters["log_lines_per_hour"] = static_cast<double>(lines);
    // The log is UTF-16 text: two bytes a unit (its lines are ASCII, so UTF-8 is half of it).
    state.counters["log_bytes_per_hour"] = static_cast<double>(utf16_units * 2);
}
BENCHMARK_CAPTURE(BM_IdleHour, no_product, &NoProduct)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_IdleHour, product_found, &ProductFound)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_IdleHour, silent_mask_product, &SilentMaskProduct)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);

}  // namespace
