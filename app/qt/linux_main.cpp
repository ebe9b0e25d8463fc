// torvex-isp: the tool's window on this machine's real devices (libudev, SG_IO). Device changes
// come from a udev monitor watched in the event loop.
#include <QApplication>
#include <memory>

#include "app/qt/ardeko_pcisp_app.h"
#include "app/qt/device_change_source.h"
#include "device/linux/device_monitor.h"
#include "device/linux/linux_device_platform.h"
#include "resources/compiled_firmware_blocks.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    torvex::linux_backend::LinuxDevicePlatform platform;
    torvex::linux_backend::DeviceMonitor monitor;
    std::unique_ptr<torvex::qt::DescriptorDeviceChangeSource> device_changes;
    if (monitor.IsListening()) {
        device_changes = std::make_unique<torvex::qt::DescriptorDeviceChangeSource>(
            monitor.Descriptor(),
            [&monitor] { return monitor.TakeDueEvents(torvex::DeviceEventSource::Clock::now()); });
    }
    torvex::qt::CArdekoPCISPApp tool(platform, torvex::CompiledFirmwareBlocks(),
                                     device_changes.get());
    tool.InitInstance([&platform](torvex::qt::CArdekoPCISPDlg& dialog) {
        // Without raw SCSI access every command would fail silently: say so, once.
        dialog.SetAfterEachEvent([&platform, &dialog] {
            const std::u16string advice = platform.TakeRawAccessAdvice();
            if (!advice.empty()) dialog.ShowMessageBox(advice);
        });
    });
    return 0;
}
