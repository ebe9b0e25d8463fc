#include "app/station/linux_ports.h"

#include "base/text.h"
#include "device/linux/disk_enumerator.h"
#include "device/product_identity.h"

namespace torvex::station {

LinuxPorts::LinuxPorts(QObject* parent) : PortSource(parent), udev_(udev_new()) {
    notifier_ = std::make_unique<qt::DeviceEventNotifier>(monitor_);
    connect(notifier_.get(), &qt::DeviceEventNotifier::DeviceChanged, this, &LinuxPorts::Rescan);
    Rescan();
}

void LinuxPorts::Rescan() {
    QStringList ports;
    for (const auto& disk : linux_backend::EnumerateDisks(udev_.get()).disks) {
        if (disk.port_path.empty() || !ProductIdOf(disk.interface)) continue;
        const QString port = QString::fromStdString(disk.port_path);
        if (!ports.contains(port)) ports << port;
    }
    if (ports == present_) return;
    present_ = ports;
    emit PortsChanged();
}

}  // namespace torvex::station
