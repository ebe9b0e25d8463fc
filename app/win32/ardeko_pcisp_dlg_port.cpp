// The window port of the main window, with its controls.
#include "app/win32/ardeko_pcisp_dlg.h"
// The window's header brings windows.h, which commctrl.h relies on.
#include <commctrl.h>

#include <algorithm>

#include "app/dialog_templates.h"
#include "app/win32/win32_text.h"

namespace torvex::win32 {

void CArdekoPCISPDlg::AppendToStatusLog(std::u16string_view text) {
    status_log_.Append(text);
}

void CArdekoPCISPDlg::AppendToSecondaryLog(std::u16string_view text) {
    // The hidden log receives one line per update; its text is kept whole, line ends included.
    secondary_log_.append(text);
    SetWindowTextW(Control(kIdSecondaryLog), ToWide(secondary_log_).c_str());
}

void CArdekoPCISPDlg::LoadStatusPicture(StatusPicture picture) {
    picture_.Load(picture);
}

void CArdekoPCISPDlg::InvalidateStatusPicture() {
    picture_.Invalidate();
}

void CArdekoPCISPDlg::ForceRepaint() {
    // The whole window, children included, now: the picture is on screen before the long
    // blocking work starts.
    RedrawWindow(window_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CArdekoPCISPDlg::ResetProgress() {
    const HWND bar = Control(kIdProgress);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    InvalidateRect(bar, nullptr, TRUE);
}

void CArdekoPCISPDlg::StepProgress() {
    const HWND bar = Control(kIdProgress);
    const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(std::min(position + 1, kProgressMaximum)), 0);
}

void CArdekoPCISPDlg::EnableUpdateButton(bool enabled) {
    EnableWindow(Control(kIdUpdateFw), enabled ? TRUE : FALSE);
}

void CArdekoPCISPDlg::ShowMessageBox(std::u16string_view text) {
    // The box's own message loop keeps ticks, device changes and posted clicks coming.
    const std::wstring caption = ToWide(ApplicationName());
    MessageBoxW(window_, ToWide(text).c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void CArdekoPCISPDlg::PostUpdateClick() {
    // Runs when a message loop next dispatches, whether or not the button is enabled.
    PostMessageW(window_, WM_COMMAND, MAKEWPARAM(kIdUpdateFw, BN_CLICKED), 0);
}

void CArdekoPCISPDlg::ClearFirmwarePath() {
    SetWindowTextW(Control(kIdFirmwarePath), L"");
}

void CArdekoPCISPDlg::ReportUpdateWriting() {
    // A product cut off while it is written needs another update: the PC must not sleep until
    // the run ends, the second run of a two-run update included.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    keeping_awake_ = true;
}

void CArdekoPCISPDlg::ReportRunEnding(RunEnding /*ending*/) {
    AllowSleep();
}

void CArdekoPCISPDlg::AllowSleep() {
    if (!keeping_awake_) return;
    SetThreadExecutionState(ES_CONTINUOUS);
    keeping_awake_ = false;
}

}  // namespace torvex::win32
