// torvex-isp: the tool's window on this machine's real devices (libudev; commands through
// torvex-isp-helper, or SG_IO when run with CAP_SYS_RAWIO). Device changes come from a udev
// monitor watched in the event loop.
#include <QApplication>
#include <cstdlib>
#include <string_view>

#include "app/qt/ardeko_pcisp_app.h"
#include "app/qt/device_event_notifier.h"
#include "base/status_log.h"
#include "device/linux/device_monitor.h"
#include "device/linux/linux_device_platform.h"
#include "resources/compiled_firmware_blocks.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    torvex::linux_backend::LinuxDevicePlatform platform(
        torvex::linux_backend::ChooseCommandCarrier());
    // A monitor that could not be set up has no descriptor: the window then sees no changes.
    torvex::linux_backend::DeviceMonitor monitor;
    torvex::qt::DeviceEventNotifier device_changes(monitor);
    torvex::qt::CArdekoPCISPApp tool(platform, torvex::CompiledFirmwareBlocks(), &device_changes);
    // Sample firmware never reaches a real product unless the operator allows it on purpose.
    const char* allow = std::getenv("TORVEX_ALLOW_SAMPLE_FIRMWARE");
    const bool refuse =
        torvex::CompiledFirmwareIsSample() && (allow == nullptr || std::string_view(allow) != "1");
    const bool watching = monitor.IsListening();
    tool.InitInstance([&platform, refuse, watching](torvex::qt::CArdekoPCISPDlg& dialog) {
        if (refuse) dialog.Core().RefuseWritingSampleFirmware();
        if (!watching)
            dialog.Core().Context().log.AppendStatusLine(
                u"Device changes cannot be watched (no udev monitor): the product is looked for "
                u"every 11 seconds.");
        // Without raw SCSI access every command would fail silently: say so, once.
        dialog.SetAfterEachEvent([&platform, &dialog] {
            const std::u16string advice = platform.TakeRawAccessAdvice();
            if (!advice.empty()) dialog.ShowMessageBox(advice);
        });
    });
    return 0;
}
