// Status log appends in the log view on its own (shown offscreen), as the station's per-product
// logs use it, and through the whole window. Each timed line is appended and then the event loop
// runs, so the line is indexed, scrolled to and painted on its own: the dearest way lines can
// arrive (one a tick while the tool waits).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
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

// A million lines spread over `range(0)` views shown side by side (a station's tiles), one line
// to each in turn, the event loop running after every 100 lines (as for one view above).
void BM_LogViewsSideBySide(benchmark::State& state) {
    const auto views = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        QWidget station;
        std::vector<torvex::qt::StatusLogView*> logs;
        for (std::size_t i = 0; i < views; ++i) {
            logs.push_back(new torvex::qt::StatusLogView(&station));
            logs.back()->setGeometry(static_cast<int>(i % 4) * 300, static_cast<int>(i / 4) * 120,
                                     300, 120);
        }
        station.resize(1200, static_cast<int>((views + 3) / 4) * 120);
        station.show();
        for (std::int64_t i = 1; i <= 1'000'000; ++i) {
            logs[static_cast<std::size_t>(i) % views]->Append(kLine);
            if (i % 100 == 0) QApplication::processEvents();
        }
        QApplication::processEvents();
        benchmark::DoNotOptimize(logs.back()->verticalScrollBar()->value());
    }
    state.counters["views"] = static_cast<double>(views);
}
BENCHMARK(BM_LogViewsSideBySide)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(1);

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
BENCHMARK(BM_DialogLogAppend)->Arg(1'000)->Arg(100'000)->Arg(1'000'000);

// A million of the tool's lines through the whole window from an empty log, the event loop
// running every `range(0)` lines (every 100 as ticks would let it; all at once as a long blocking
// step would).
void BM_DialogLogMillionLines(benchmark::State& state) {
    const std::int64_t batch = state.range(0);
    constexpr std::u16string_view kToolLine = u"SN:00000000EF32000001  Check_OTA_Version_at_OTA";
    for (auto _ : state) {
        torvex::sim::VirtualPlatform platform;
        torvex::qt::CArdekoPCISPDlg dialog(platform, torvex::CompiledFirmwareBlocks());
        dialog.show();
        QApplication::processEvents();
        torvex::StatusLog log(dialog);
        for (std::int64_t i = 1; i <= 1'000'000; ++i) {
            log.AppendStatusLine(kToolLine);
            if (i % batch == 0) QApplication::processEvents();
        }
        QApplication::processEvents();
        benchmark::DoNotOptimize(dialog.StatusLogText().size());
    }
    state.counters["lines_per_event_loop_pass"] = static_cast<double>(batch);
}
BENCHMARK(BM_DialogLogMillionLines)
    ->Arg(100)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
