#pragma once
// The application: prepares the common controls, runs the main window modally on the given
// platform and firmware blocks, and returns when the window has closed.

#include <functional>

#include "app/win32/ardeko_pcisp_dlg.h"

namespace torvex::win32 {

// Registers the common control classes the templates use (progress bar among them).
void InitCommonControls95();

// Instance initialisation: build the window, let `prepare` wire it, create it (start-up runs),
// run it until it closes. The window's result is not examined. False when the window could not
// be created.
bool RunMainWindow(DevicePlatform& platform, const FirmwareBlockStore& blocks,
                   const std::function<void(CArdekoPCISPDlg&)>& prepare = {});

}  // namespace torvex::win32
