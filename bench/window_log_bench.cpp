// Status log appends in the window's widget (the status log view, shown offscreen). Each timed
// line is appended and then the event loop runs, so the line is inserted, scrolled to and
// painted on its own: the dearest way lines can arrive (one a tick while the tool waits).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QString>

#include "app/qt/ardeko_pcisp_dlg.h"
#include "app/qt/status_log_view.h"
#include "base/status_log.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/virtual_platform.h"

namespace {

const QString kLine = QStringLiteral("Open U-KDISK USB device failed. (a line)\r\n");

void Prefill(torvex::qt::StatusLogView& view, std::int64_t lines) {
    QString text;
    text.reserve(static_cast<qsizetype>(lines) * kLine.size());
    for (std::int64_t i = 0; i < lines; ++i) text.append(kLine);
    view.Append(text);
    QApplication::processEvents();
}

void BM_WindowLogAppend(benchmark::State& state) {
    torvex::qt::StatusLogView view;
    view.resize(560, 160);
    view.show();
    Prefill(view, state.range(0));
    for (auto _ : state) {
        view.Append(kLine);
        QApplication::processEvents();
    }
    state.counters["lines_before"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_WindowLogAppend)->Arg(1'000)->Arg(100'000)->Arg(1'000'000);

// The same without painting (the view is never shown, as the log below the window's top band):
// the text goes into the document and the view scrolls to its end.
void BM_WindowLogAppendUnpainted(benchmark::State& state) {
    torvex::qt::StatusLogView view;
    view.resize(560, 160);
    Prefill(view, state.range(0));
    for (auto _ : state) {
        view.Append(kLine);
        QApplication::processEvents();
    }
    state.counters["lines_before"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_WindowLogAppendUnpainted)->Arg(1'000)->Arg(100'000)->Arg(1'000'000);

// A million lines into an empty view, the event loop running after every `range(0)` lines.
void BM_WindowLogMillionLines(benchmark::State& state) {
    const std::int64_t batch = state.range(0);
    for (auto _ : state) {
        torvex::qt::StatusLogView view;
        view.resize(560, 160);
        view.show();
        for (std::int64_t i = 1; i <= 1'000'000; ++i) {
            view.Append(kLine);
            if (i % batch == 0) QApplication::processEvents();
        }
        QApplication::processEvents();
        benchmark::DoNotOptimize(view.Text().size());
    }
    state.counters["lines_per_event_loop_pass"] = static_cast<double>(batch);
}
BENCHMARK(BM_WindowLogMillionLines)
    ->Arg(100)
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The tool's own status log through the whole window (the dialog, shown, as its window port),
// the event loop running every 100 lines as ticks would let it: the cost of an append must not
// grow with the log (rewriting the whole text on each append would cost a hundred times more
// at 100,000 lines). scripts/bench.sh compares the sizes.
void BM_DialogLogAppend(benchmark::State& state) {
    torvex::sim::VirtualPlatform platform;
    torvex::qt::CArdekoPCISPDlg dialog(platform, torvex::CompiledFirmwareBlocks());
    dialog.show();
    torvex::StatusLog log(dialog);
    constexpr std::u16string_view kToolLine = u"SN:00000000EF32000001  Check_OTA_Version_at_OTA";
    std::int64_t appended = 0;
    const auto append = [&] {
        log.AppendStatusLine(kToolLine);
        if (++appended % 100 == 0) QApplication::processEvents();
    };
    while (appended < state.range(0)) append();
    for (auto _ : state) append();
    state.counters["lines_before"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_DialogLogAppend)->Arg(1'000)->Arg(100'000);

}  // namespace
