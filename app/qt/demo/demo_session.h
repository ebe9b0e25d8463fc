#pragma once
// The demo: the tool's main window on a virtual product, the product's events, and the control
// window to plug, unplug and change the product while the tool runs.

#include <QTimer>
#include <memory>

#include "app/qt/ardeko_pcisp_dlg.h"
#include "app/qt/demo/demo_control_window.h"
#include "app/qt/device_event_notifier.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"
#include "simulator/virtual_product_events.h"

namespace torvex::qt::demo {

class DemoSession {
  public:
    DemoSession(const FirmwareBlockStore& blocks, sim::ProductPreset preset);

    // Starts the tool (its start-up, as the application does), keeps the product's clock with
    // the real time, and shows the control window under the tool's window.
    void Start();

    sim::VirtualPlatform& Platform() { return platform_; }
    sim::VirtualProduct& Product() { return platform_.Product(disk_); }
    // The product's arrivals and removals as the window gets them. A test that advanced the
    // product's clock by hand has the events due by then delivered at once with TakeDueEvents().
    DeviceEventNotifier& ProductEvents() { return *notifier_; }
    CArdekoPCISPDlg& Dialog() { return *dialog_; }
    DemoControlWindow& Control() { return *control_; }

  private:
    sim::VirtualPlatform platform_;
    sim::DiskIndex disk_;
    std::unique_ptr<sim::VirtualProductEvents> events_;
    std::unique_ptr<DeviceEventNotifier> notifier_;
    QTimer clock_;
    std::unique_ptr<CArdekoPCISPDlg> dialog_;
    std::unique_ptr<DemoControlWindow> control_;
};

}  // namespace torvex::qt::demo
