// Start-up of the window program on the virtual product: the time from process start until the
// main window is on screen (offscreen platform unless a display is set), then a whole two-run
// update driven tick by tick, and the peak resident memory of the process over all of it.
//
// Process start is taken from TORVEX_BENCH_LAUNCH_NS (CLOCK_REALTIME nanoseconds written by the
// launching script just before exec) or, without it, from the kernel's start time of the
// process (10 ms resolution).
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "app/qt/ardeko_pcisp_dlg.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"

namespace {

double NowMs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Milliseconds since this process started.
double SinceProcessStartMs() {
    if (const char* launch = std::getenv("TORVEX_BENCH_LAUNCH_NS")) {
        return NowMs(CLOCK_REALTIME) - std::strtod(launch, nullptr) / 1e6;
    }
    std::ifstream stat("/proc/self/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Field 22 (start time in clock ticks since boot) counts from the field after the ')'.
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;
    const double start_ms = std::stod(field) * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
    return NowMs(CLOCK_BOOTTIME) - start_ms;
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Drives the update as the event loop would, without waiting for real seconds.
bool RunTwoRunUpdate(torvex::qt::CArdekoPCISPDlg& dialog, torvex::sim::VirtualPlatform& platform) {
    dialog.Core().OnUpdateFw();
    for (int tick = 0; tick < 60; ++tick) {
        QApplication::processEvents();
        if (dialog.StatusLogText().contains(QStringLiteral("Update complete !!"))) return true;
        platform.AdvanceClock(1000);
        for (const auto& event : platform.TakeEvents()) dialog.OnDeviceChange(event.type);
        dialog.Core().OnReplugTimer();
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    torvex::sim::VirtualPlatform platform;
    platform.AddProduct(torvex::sim::PresetConfig(torvex::sim::ProductPreset::ApplicationOld));
    torvex::qt::CArdekoPCISPDlg dialog(platform, torvex::CompiledFirmwareBlocks());
    dialog.OnInitDialog();
    dialog.show();
    while (dialog.windowHandle() == nullptr || !dialog.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QApplication::processEvents();  // the first paint
    const double shown_ms = SinceProcessStartMs();
    const long rss_shown = PeakRssKiB();

    dialog.ReplugTimer().stop();  // ticks are handed out below
    for (int tick = 0; tick < 3 && !dialog.Controls().update_fw->isEnabled(); ++tick) {
        platform.AdvanceClock(1000);
        dialog.Core().OnReplugTimer();
    }
    const bool updated = RunTwoRunUpdate(dialog, platform);
    std::printf(
        "startup_ms=%.1f peak_rss_shown_kib=%ld peak_rss_after_update_kib=%ld "
        "update_complete=%d\n",
        shown_ms, rss_shown, PeakRssKiB(), updated ? 1 : 0);
    return updated ? 0 : 1;
}
