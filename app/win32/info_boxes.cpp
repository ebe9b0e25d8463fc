#include "app/win32/info_boxes.h"

#include "app/dialog_templates.h"

namespace torvex::win32 {

namespace {

INT_PTR CALLBACK BoxProcedure(HWND box, UINT message, WPARAM wparam, LPARAM /*lparam*/) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
                EndDialog(box, LOWORD(wparam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void RunBox(HWND owner, int template_id) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id), owner, BoxProcedure,
                    0);
}

}  // namespace

void RunAboutBox(HWND owner) {
    RunBox(owner, kAboutBoxTemplate);
}

void RunHelpBox(HWND owner) {
    RunBox(owner, kHelpBoxTemplate);
}

}  // namespace torvex::win32
