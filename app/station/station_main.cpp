// torvex-isp-station: the station window on this machine's USB ports, or with --virtual on
// virtual products.

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include <cstdio>
#include <memory>

#include "app/qt/status_pictures.h"
#include "app/station/linux_ports.h"
#include "app/station/station_controller.h"
#include "app/station/station_options.h"
#include "app/station/station_window.h"

int main(int argc, char** argv) {
    using namespace torvex::station;
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"torvex-isp-station"_qs);
    QApplication::setApplicationVersion(QStringLiteral(TORVEX_VERSION));
    QApplication::setWindowIcon(torvex::qt::ApplicationIcon());
    QString error;
    const std::optional<StationOptions> options =
        ParseStationOptions(QApplication::arguments(), error);
    if (!options) {
        std::fprintf(stderr, "torvex-isp-station: %s\n", qPrintable(error));
        return 64;
    }
    // Like the window, the station runs as the user; its runners reach the products through the
    // system's helper. The demo touches no device and may run anywhere (containers, test rigs).
    if (geteuid() == 0 && options->virtual_states.isEmpty()) {
        std::fputs(
            "torvex-isp-station: the station does not run as root; start it as your own "
            "user (torvex-isp-cli serves scripts that run as root)\n",
            stderr);
        return 1;
    }
    std::unique_ptr<PortSource> ports;
    if (options->virtual_states.isEmpty())
        ports = std::make_unique<LinuxPorts>();
    else
        ports = std::make_unique<VirtualPorts>(options->virtual_states);
    StationSettings settings;
    settings.runner = RunnerProgram(options->runner);
    if (options->tick_ms > 0)
        settings.runner_options = {u"--tick-ms"_qs, QString::number(options->tick_ms)};
    settings.record_folder = options->record_folder.isEmpty()
                                 ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                 : QDir(options->record_folder).absolutePath();
    StationController controller(*ports, settings);
    controller.SetAutomatic(options->automatic);
    StationWindow window(controller);
    window.show();
    return QApplication::exec();
}
