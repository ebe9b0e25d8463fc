// Status log appends in the core: StatusLog over a window port that keeps the whole text (the
// tests' recording window). The cost of one line must not depend on how many lines came before.
#include <benchmark/benchmark.h>

#include <string_view>

#include "base/status_log.h"
#include "tests/support/recording_window.h"

namespace {

// A line of the typical length of the tool's own lines.
constexpr std::u16string_view kLine = u"Open U-KDISK USB device failed. (a line)";

void BM_CoreLogAppend(benchmark::State& state) {
    torvex::testing::RecordingWindow window;
    torvex::StatusLog log(window);
    const auto before = state.range(0);
    for (std::int64_t i = 0; i < before; ++i) log.AppendStatusLine(kLine);
    for (auto _ : state) {
        log.AppendStatusLine(kLine);
        benchmark::DoNotOptimize(window.status_log.data());
    }
    state.counters["lines_before"] = static_cast<double>(before);
}
BENCHMARK(BM_CoreLogAppend)->Arg(1'000)->Arg(100'000)->Arg(1'000'000);

// A million lines into an empty log, all of it timed.
void BM_CoreLogMillionLines(benchmark::State& state) {
    for (auto _ : state) {
        torvex::testing::RecordingWindow window;
        torvex::StatusLog log(window);
        for (int i = 0; i < 1'000'000; ++i) log.AppendStatusLine(kLine);
        benchmark::DoNotOptimize(window.status_log.size());
    }
}
BENCHMARK(BM_CoreLogMillionLines)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
