// The station on virtual products, each updated by its own runner child (1000 ms tick unless a
// third argument gives the runners' tick):
// start-up to the first tile shown, one product alone, N at once (wall time, the station's own
// CPU and its runners'), and the station's CPU while idle with N tiles, before and after.
// Prints one key=value line. Process start as bench/startup_main.cpp takes it
// (TORVEX_BENCH_LAUNCH_NS from the launching script, else the kernel's start time).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/station/port_source.h"
#include "app/station/station_controller.h"
#include "app/station/station_window.h"

namespace {

using namespace torvex::station;

double NowMs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double SinceProcessStartMs() {
    if (const char* launch = std::getenv("TORVEX_BENCH_LAUNCH_NS"))
        return NowMs(CLOCK_REALTIME) - std::strtod(launch, nullptr) / 1e6;
    std::ifstream stat("/proc/self/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;
    const double start_ms = std::stod(field) * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
    return NowMs(CLOCK_BOOTTIME) - start_ms;
}

double CpuMs(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

bool AllIn(const StationController& controller, TilePhase phase) {
    for (int i = 0; i < controller.TileCount(); ++i)
        if (controller.Tile(i).phase != phase) return false;
    return controller.TileCount() > 0;
}

int Passed(const StationController& controller) {
    int passed = 0;
    for (int i = 0; i < controller.TileCount(); ++i)
        passed += controller.Tile(i).result == TileResult::Pass;
    return passed;
}

struct Station {
    Station(int products, const QStringList& runner_options)
        : ports(QStringList(products, QStringLiteral("application-old"))),
          controller(ports, {QStringLiteral(TORVEX_RUNNER_PATH), runner_options, record.path()}),
          window(controller) {
        window.show();
    }
    QTemporaryDir record;
    VirtualPorts ports;
    StationController controller;
    StationWindow window;
};

// Wall ms from "Update all ready" until every tile has ended.
double UpdateAll(Station& station) {
    if (!QTest::qWaitFor([&] { return AllIn(station.controller, TilePhase::Ready); }, 60'000))
        return -1;
    QElapsedTimer wall;
    wall.start();
    station.controller.UpdateAllReady();
    if (!QTest::qWaitFor([&] { return AllIn(station.controller, TilePhase::Ended); }, 120'000))
        return -1;
    return static_cast<double>(wall.elapsed());
}

// The station's own CPU over `seconds` of its event loop, nothing asked of it.
double IdleCpuMs(int seconds) {
    const double before = CpuMs(RUSAGE_SELF);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return CpuMs(RUSAGE_SELF) - before;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int products = argc > 1 ? std::atoi(argv[1]) : 16;
    const int idle_s = argc > 2 ? std::atoi(argv[2]) : 20;
    // The runners' tick; empty: their own (1000 ms).
    const QStringList tick =
        argc > 3 ? QStringList{QStringLiteral("--tick-ms"), QString::fromLocal8Bit(argv[3])}
                 : QStringList{};

    auto many = std::make_unique<Station>(products, tick);
    double first_tile_ms = -1;
    QObject::connect(&many->window, &StationWindow::FirstTileShown,
                     [&] { first_tile_ms = SinceProcessStartMs(); });
    if (!QTest::qWaitFor([&] { return first_tile_ms >= 0; }, 60'000)) return 1;
    const double first_tile_cpu_ms = CpuMs(RUSAGE_SELF);
    if (!QTest::qWaitFor([&] { return AllIn(many->controller, TilePhase::Ready); }, 60'000))
        return 1;
    const double idle_ready_ms = IdleCpuMs(idle_s);

    double one_ms = 0;
    {
        Station alone(1, tick);
        one_ms = UpdateAll(alone);
    }
    const double self_before = CpuMs(RUSAGE_SELF);
    const double children_before = CpuMs(RUSAGE_CHILDREN);
    const double many_ms = UpdateAll(*many);
    const double self_ms = CpuMs(RUSAGE_SELF) - self_before;
    const double children_ms = CpuMs(RUSAGE_CHILDREN) - children_before;
    const bool clock_off = !many->window.ClockRunning();
    const double idle_ended_ms = IdleCpuMs(idle_s);

    std::printf(
        "products=%d tick_ms=%s first_tile_ms=%.0f first_tile_cpu_ms=%.0f one_wall_ms=%.0f "
        "many_wall_ms=%.0f "
        "station_cpu_ms=%.0f "
        "runners_cpu_ms=%.0f passed=%d idle_s=%d idle_ready_cpu_ms=%.1f idle_ended_cpu_ms=%.1f "
        "clock_off_when_idle=%d\n",
        products, tick.isEmpty() ? "1000" : qPrintable(tick.last()), first_tile_ms,
        first_tile_cpu_ms, one_ms, many_ms, self_ms, children_ms, Passed(many->controller), idle_s,
        idle_ready_ms, idle_ended_ms, clock_off ? 1 : 0);
    return Passed(many->controller) == products ? 0 : 1;
}
