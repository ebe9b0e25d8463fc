#include "app/win32/ardeko_pcisp_app.h"

#include <commctrl.h>

namespace torvex::win32 {

void InitCommonControls95() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
}

bool RunMainWindow(DevicePlatform& platform, const FirmwareBlockStore& blocks,
                   const std::function<void(CArdekoPCISPDlg&)>& prepare) {
    InitCommonControls95();
    CArdekoPCISPDlg dialog(platform, blocks);
    if (prepare) prepare(dialog);
    if (!dialog.Create()) return false;
    dialog.RunModalLoop();
    return true;
}

}  // namespace torvex::win32
