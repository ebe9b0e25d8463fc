#pragma once
// The demo: the tool's main window on a virtual product, the product's clock, and the control
// window to plug, unplug and change the product while the tool runs.

#include <memory>

#include "app/qt/ardeko_pcisp_dlg.h"
#include "app/qt/demo/demo_control_window.h"
#include "app/qt/demo/virtual_product_clock.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"

namespace torvex::qt::demo {

class DemoSession {
  public:
    DemoSession(const FirmwareBlockStore& blocks, sim::ProductPreset preset);

    // Starts the tool (its start-up, as the application does), the product's clock, and shows
    // the control window under the tool's window.
    void Start();

    sim::VirtualPlatform& Platform() { return platform_; }
    sim::VirtualProduct& Product() { return platform_.Product(disk_); }
    VirtualProductClock& Clock() { return *clock_; }
    CArdekoPCISPDlg& Dialog() { return *dialog_; }
    DemoControlWindow& Control() { return *control_; }

  private:
    sim::VirtualPlatform platform_;
    sim::DiskIndex disk_;
    std::unique_ptr<VirtualProductClock> clock_;
    std::unique_ptr<CArdekoPCISPDlg> dialog_;
    std::unique_ptr<DemoControlWindow> control_;
};

}  // namespace torvex::qt::demo
