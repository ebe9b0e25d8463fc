// Renders the station on eight virtual products to DIR/station-*.png: mid-update, all done, and
// with one product failed (scripts/screenshots.sh).

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <functional>

#include "app/station/port_source.h"
#include "app/station/station_controller.h"
#include "app/station/station_options.h"
#include "app/station/station_window.h"

namespace {

using namespace torvex::station;

bool Every(const StationController& controller, const std::function<bool(const TileState&)>& is) {
    for (int i = 0; i < controller.TileCount(); ++i)
        if (!is(controller.Tile(i))) return false;
    return controller.TileCount() > 0;
}

bool Shoot(const QString& file, const QStringList& states, int tick_ms,
           const std::function<bool(const TileState&)>& when) {
    QTemporaryDir record;
    VirtualPorts ports(states);
    StationSettings settings{
        RunnerProgram({}), {u"--tick-ms"_qs, QString::number(tick_ms)}, record.path()};
    StationController controller(ports, settings);
    StationWindow window(controller);
    window.show();
    (void)QTest::qWaitFor(
        [&] {
            return Every(controller,
                         [](const TileState& s) { return s.phase == TilePhase::Ready; });
        },
        30'000);
    controller.UpdateAllReady();
    const bool reached = QTest::qWaitFor([&] { return Every(controller, when); }, 60'000);
    window.UpdateAllReadyButton().setFocus();
    const bool saved = reached && window.grab().save(file);
    std::fprintf(stderr, "%s %s\n", qPrintable(file), saved ? "written" : "NOT written");
    // Every run ends by itself before the next picture; nothing is cut.
    (void)QTest::qWaitFor([&] { return !controller.AnyRunning(); }, 60'000);
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: torvex-station-screenshots DIR\n");
        return 64;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString suffix = application.devicePixelRatio() > 1 ? u"@2x.png"_qs : u".png"_qs;
    QStringList eight;
    for (int i = 0; i < 8; ++i) eight << (i % 3 == 2 ? u"ota"_qs : u"application-old"_qs);
    QStringList one_failing = eight;
    one_failing[5] = u"application-new"_qs;
    bool ok = Shoot(
        out.filePath(u"station-updating"_qs + suffix), QStringList(8, u"application-old"_qs), 1000,
        [](const TileState& s) { return s.phase == TilePhase::Updating && s.progress >= 1; });
    ok &= Shoot(out.filePath(u"station-done"_qs + suffix), eight, 20,
                [](const TileState& s) { return s.phase == TilePhase::Ended; });
    ok &= Shoot(out.filePath(u"station-failed"_qs + suffix), one_failing, 20,
                [](const TileState& s) { return s.phase == TilePhase::Ended; });
    return ok ? 0 : 1;
}
