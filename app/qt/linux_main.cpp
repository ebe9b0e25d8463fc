// torvex-isp: the tool's window on this machine's real devices (libudev; commands through
// torvex-isp-helper, or SG_IO when run with CAP_SYS_RAWIO), run as the user who started it,
// natively on Wayland or X11. Device changes come from a udev monitor watched in the event loop;
// the desktop's services unmount a mounted product and keep the system awake while the product is
// written (linux_desktop_session.h).
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/qt/ardeko_pcisp_app.h"
#include "app/qt/device_event_notifier.h"
#include "app/qt/linux_desktop_session.h"
#include "base/status_log.h"
#include "desktop/linux/freed_product_events.h"
#include "device/linux/device_monitor.h"
#include "device/linux/linux_device_platform.h"
#include "resources/compiled_firmware_blocks.h"

namespace {

// Answers --version and --help without a display; everything else is Qt's (-platform, ...).
bool AnsweredOnTheCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("torvex-isp %s\n", TORVEX_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "Usage: torvex-isp [Qt options]\n"
                "Updates the firmware of the Torvex USB product in a window; see torvex-isp(1).\n"
                "  --version  the version of the tool\n"
                "  --help     this text\n");
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnsweredOnTheCommandLine(argc, argv)) return 0;
    // A toolkit with file dialogs, plugins and input methods has no business running as root: the
    // window runs as the user, and only the runner is meant for root.
    if (geteuid() == 0) {
        std::fprintf(stderr,
                     "torvex-isp: the window does not run as root; start it as your own user "
                     "(torvex-isp-cli serves scripts that run as root)\n");
        return 1;
    }
    QApplication application(argc, argv);
    torvex::linux_backend::LinuxDevicePlatform platform(
        torvex::linux_backend::ChooseCommandCarrier());
    // A monitor that could not be set up has no descriptor: the window then finds a product only
    // by the supervision timer's discovery poll (every second), and says so in the log.
    torvex::linux_backend::DeviceMonitor monitor;
    // The arrival of a product whose file systems the session unmounted comes through the same
    // source as the monitor's.
    torvex::desktop::FreedProductEvents events(monitor);
    torvex::qt::DeviceEventNotifier device_changes(events);
    torvex::qt::CArdekoPCISPApp tool(platform, torvex::CompiledFirmwareBlocks(), &device_changes);
    // Sample firmware never reaches a real product unless the operator allows it on purpose.
    const bool refuse = torvex::RefuseSampleFirmware(torvex::SampleFirmwareAllowedByEnvironment());
    const bool watching = monitor.IsListening();
    std::optional<torvex::qt::LinuxDesktopSession> session;
    tool.InitInstance([&](torvex::qt::CArdekoPCISPDlg& dialog) {
        if (refuse) dialog.Core().RefuseWritingSampleFirmware();
        if (!watching)
            dialog.Core().Context().log.AppendStatusLine(
                u"No udev monitor: device changes are looked for every second.");
        session.emplace(platform, dialog, events);
    });
    return 0;
}
