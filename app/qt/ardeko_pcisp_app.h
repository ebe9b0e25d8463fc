#pragma once
// The application: runs the main window modally on the given platform and firmware blocks; when
// the window closes, the program ends.

#include <functional>

#include "app/qt/ardeko_pcisp_dlg.h"

namespace torvex::qt {

class CArdekoPCISPApp {
  public:
    CArdekoPCISPApp(DevicePlatform& platform, const FirmwareBlockStore& blocks,
                    DeviceEventNotifier* device_changes)
        : platform_(platform), blocks_(blocks), device_changes_(device_changes) {}

    // Instance initialisation: build the window, let `prepare` wire it, start it up, run it
    // until its close box (or Alt+F4) ends it. The window's result is not examined.
    void InitInstance(const std::function<void(CArdekoPCISPDlg&)>& prepare = {});

  private:
    DevicePlatform& platform_;
    const FirmwareBlockStore& blocks_;
    DeviceEventNotifier* device_changes_;
};

}  // namespace torvex::qt
