// An hour of waiting in the window: 3600 ticks handed to the dialog's core directly, each
// followed by a pass of the event loop (log lines shown, picture repainted), on a mask-code
// product that never answers (a line or more every tick) and with no product at all.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/qt/ardeko_pcisp_dlg.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/command_table.h"
#include "simulator/fault_plan.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"

namespace {

constexpr int kTicksPerHour = 3600;

void BM_WindowIdleHour(benchmark::State& state, bool silent_mask_product) {
    std::size_t log_units = 0;
    for (auto _ : state) {
        state.PauseTiming();
        torvex::sim::VirtualPlatform platform;
        if (silent_mask_product) {
            auto config = torvex::sim::PresetConfig(torvex::sim::ProductPreset::Mask0110);
            config.faults.push_back(torvex::sim::Fault::On(torvex::sim::Command::MaskProbe,
                                                           torvex::sim::FaultAction::Fail)
                                        .Always());
            platform.AddProduct(config);
        }
        torvex::qt::CArdekoPCISPDlg dialog(platform, torvex::CompiledFirmwareBlocks());
        dialog.OnInitDialog();
        dialog.ReplugTimer().stop();  // the benchmark hands out the ticks
        dialog.show();
        QApplication::processEvents();
        const auto before = dialog.StatusLogText().size();
        state.ResumeTiming();
        for (int tick = 0; tick < kTicksPerHour; ++tick) {
            platform.AdvanceClock(1000);
            dialog.Core().OnReplugTimer();
            QApplication::processEvents();
        }
        state.PauseTiming();
        log_units = static_cast<std::size_t>(dialog.StatusLogText().size() - before);
        dialog.hide();
        state.ResumeTiming();
    }
    state.counters["log_bytes_per_hour"] = static_cast<double>(log_units * 2);
}
BENCHMARK_CAPTURE(BM_WindowIdleHour, no_product, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK_CAPTURE(BM_WindowIdleHour, silent_mask_product, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

}  // namespace
