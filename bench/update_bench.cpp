// The tool's own time in a complete update on a virtual product that answers at once: the
// two-run update from application code and the one-run update in protected ISP code. The
// timer's waits are not in it: ticks are handed to the tool directly, one after the other.
// The figure includes the virtual product's own work (deciphering, flash model, checksums,
// wire trace), so it is an upper bound of the tool's share.
#include <benchmark/benchmark.h>

#include <span>

#include "bench/scenario_run.h"
#include "bench/update_model.h"

namespace {

using torvex::sim::ProductPreset;

void BM_Update(benchmark::State& state, ProductPreset preset) {
    torvex::bench::ModelledUpdate modelled;
    for (auto _ : state) {
        state.PauseTiming();
        auto scenario = torvex::bench::ReadyToUpdate(preset);
        if (!scenario) {
            state.SkipWithError("the tool never allowed Update F/W");
            break;
        }
        const std::size_t first = scenario->platform.Trace().size();
        state.ResumeTiming();
        const bool complete = torvex::bench::ClickAndFinish(*scenario);
        state.PauseTiming();
        if (!complete || !scenario->platform.Violations().empty()) {
            state.SkipWithError("the update did not end in Update complete");
            break;
        }
        const auto& trace = scenario->platform.Trace();
        modelled = torvex::bench::ModelUpdate(std::span(trace).subspan(first));
        scenario.reset();
        state.ResumeTiming();
    }
    state.counters["commands"] = static_cast<double>(modelled.commands);
    state.counters["data_bytes"] = static_cast<double>(modelled.data_bytes);
    state.counters["product_ms"] = modelled.product_ms;
}
BENCHMARK_CAPTURE(BM_Update, two_run_application_old, ProductPreset::ApplicationOld)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_Update, protect_isp, ProductPreset::ProtectIsp)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);

}  // namespace
