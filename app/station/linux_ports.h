#pragma once
// The USB ports of this machine that hold a product: the block disks the kernel lists, read
// again at every device change the udev monitor reports. Only sysfs is read; no disk is opened.

#include <memory>

#include "app/qt/device_event_notifier.h"
#include "app/station/port_source.h"
#include "device/linux/device_monitor.h"
#include "device/linux/udev_handles.h"

namespace torvex::station {

class LinuxPorts final : public PortSource {
    Q_OBJECT
  public:
    explicit LinuxPorts(QObject* parent = nullptr);

    QStringList Present() const override { return present_; }
    QStringList RunnerSelection(const QString& port) const override { return {u"--port"_qs, port}; }
    bool ListsAfterRun() const override { return true; }

  private:
    void Rescan();

    linux_backend::UdevPtr udev_;
    linux_backend::DeviceMonitor monitor_;
    std::unique_ptr<qt::DeviceEventNotifier> notifier_;
    QStringList present_;
};

}  // namespace torvex::station
