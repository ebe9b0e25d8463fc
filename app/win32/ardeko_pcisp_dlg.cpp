#include "app/win32/ardeko_pcisp_dlg.h"

#include <commctrl.h>
#include <dbt.h>

#include "app/dialog_templates.h"
#include "app/win32/info_boxes.h"
#include "app/win32/win32_text.h"
#include "app/window_texts.h"
#include "device/windows/disk_interface_notifications.h"

namespace torvex::win32 {

namespace {

// The window's commands: 17 opens Help; 16 with any low four bits (which the system uses for its
// own purposes) opens About.
constexpr WPARAM kSystemCommandMask = ~static_cast<WPARAM>(0xF);

bool IsSwallowedKey(const MSG& message) {
    return message.message == WM_KEYDOWN &&
           (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE);
}

}  // namespace

CArdekoPCISPDlg::CArdekoPCISPDlg(DevicePlatform& platform, const FirmwareBlockStore& blocks)
    : core_(std::make_unique<DialogCore>(*this, platform, blocks)) {}

CArdekoPCISPDlg::~CArdekoPCISPDlg() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (big_icon_ != nullptr) DestroyIcon(big_icon_);
    if (small_icon_ != nullptr) DestroyIcon(small_icon_);
}

bool CArdekoPCISPDlg::Create() {
    ended_ = false;
    window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainDialogTemplate),
                                 nullptr, DialogProcedure, reinterpret_cast<LPARAM>(this));
    return window_ != nullptr;
}

INT_PTR CArdekoPCISPDlg::RunModalLoop() {
    MSG message;
    while (!ended_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for whoever runs the next loop
            break;
        }
        if (got < 0) break;
        ProcessMessage(message);
    }
    if (window_ != nullptr) DestroyWindow(window_);
    return result_;
}

void CArdekoPCISPDlg::ProcessMessage(MSG& message) {
    if (PreTranslateMessage(message)) return;
    // Tab and the arrow keys move between controls, in this window and in any other window of
    // the program (the demo's control window).
    const HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && IsDialogMessageW(root, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

bool CArdekoPCISPDlg::PreTranslateMessage(const MSG& message) const {
    // Neither key can close the window or press a button of it.
    if (!IsSwallowedKey(message) || window_ == nullptr) return false;
    return message.hwnd == window_ || IsChild(window_, message.hwnd);
}

void CArdekoPCISPDlg::DeliverDeviceChange(std::uint32_t event_type) {
    core_->OnDeviceChange(event_type);
}

INT_PTR CALLBACK CArdekoPCISPDlg::DialogProcedure(HWND window, UINT message, WPARAM wparam,
                                                  LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CArdekoPCISPDlg*>(lparam);
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        dialog->window_ = window;
        dialog->OnInitDialog();
        return TRUE;
    }
    auto* dialog = reinterpret_cast<CArdekoPCISPDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    return dialog->Handle(message, wparam, lparam);
}

INT_PTR CArdekoPCISPDlg::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_TIMER:
            // The timer id is not examined: the window has one timer.
            core_->OnReplugTimer();
            return TRUE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wparam), HIWORD(wparam));
        case WM_SYSCOMMAND:
            return OnSysCommand(wparam);
        case WM_DEVICECHANGE:
            // The event data is not examined; the core acts on arrival and removal only.
            if (watch_system_devices_) core_->OnDeviceChange(static_cast<std::uint32_t>(wparam));
            SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
            if (item->CtlID != kIdStatusPicture) return FALSE;
            picture_.Draw(*item);
            return TRUE;
        }
        case WM_PAINT:
            return OnPaint();
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(big_icon_);
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

void CArdekoPCISPDlg::OnInitDialog() {
    picture_.Attach(Control(kIdStatusPicture));
    status_log_.Attach(Control(kIdStatusLog));
    SendMessageW(Control(kIdSecondaryLog), EM_SETLIMITTEXT, 0, 0);
    AddSystemMenuItems();
    SetIcons();
    SendMessageW(Control(kIdProgress), PBM_SETRANGE, 0, MAKELPARAM(0, kProgressMaximum));
    if (watch_system_devices_)
        device_notifications_ = windows::RegisterDiskInterfaceNotifications(window_);
    // On "findresource" the window keeps its full size, TEST, Clear and the log stay enabled and
    // no timer runs.
    if (!core_->OnInitDialog()) return;
    EnableWindow(Control(kIdTest), FALSE);
    EnableWindow(Control(kIdClear), FALSE);
    EnableWindow(Control(kIdStatusLog), FALSE);
    CutToTopBand();
    SetTimer(window_, kReplugTimerId, kReplugTimerPeriodMs, nullptr);
}

void CArdekoPCISPDlg::AddSystemMenuItems() {
    HMENU menu = GetSystemMenu(window_, FALSE);
    if (menu == nullptr) return;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const std::wstring about = ToWide(LoadResourceString(instance, kAboutMenuString));
    if (about.empty()) return;
    const std::wstring help = ToWide(LoadResourceString(instance, kHelpMenuString));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommandId, about.c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kHelpCommandId, help.c_str());
}

void CArdekoPCISPDlg::SetIcons() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto load = [instance](int metric_x, int metric_y) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                             GetSystemMetrics(metric_x), GetSystemMetrics(metric_y),
                                             0));
    };
    big_icon_ = load(SM_CXICON, SM_CYICON);
    small_icon_ = load(SM_CXSMICON, SM_CYSMICON);
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
}

void CArdekoPCISPDlg::CutToTopBand() {
    // 595 x 210 at 100 %; at another scale the band grows with the window's contents.
    const int dpi = static_cast<int>(WindowDpi(window_));
    MoveWindow(window_, 0, 0, MulDiv(kTopBandWidth, dpi, 96), MulDiv(kTopBandHeight, dpi, 96),
               FALSE);
}

bool CArdekoPCISPDlg::OnCommand(WORD id, WORD code) {
    if (code != BN_CLICKED) return false;
    switch (id) {
        case kIdUpdateFw:
            // Also the click the timer posts, which runs while the button is disabled.
            core_->OnUpdateFw();
            return true;
        case kIdBrowse:
            OnBrowse();
            return true;
        case kIdBrowseSecond:
            OnBrowseSecond();
            return true;
        case kIdTest:
            core_->OnTest();
            return true;
        case kIdClear:
            status_log_.Clear();
            return true;
        case IDCANCEL:
            EndDialogLoop(IDCANCEL);
            return true;
        default:
            return false;
    }
}

bool CArdekoPCISPDlg::OnSysCommand(WPARAM command) {
    if (command == kHelpCommandId) {
        RunHelpBox(window_);
        return true;
    }
    if ((command & kSystemCommandMask) == kAboutCommandId) {
        RunAboutBox(window_);
        return true;
    }
    return false;  // move, minimise, close and the rest: the system's own handling
}

bool CArdekoPCISPDlg::OnPaint() {
    if (!IsIconic(window_)) return false;
    // Minimised: the icon, centred.
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window_, &paint);
    SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window_, &client);
    const int icon_width = GetSystemMetrics(SM_CXICON);
    const int icon_height = GetSystemMetrics(SM_CYICON);
    DrawIcon(dc, (client.right - icon_width + 1) / 2, (client.bottom - icon_height + 1) / 2,
             big_icon_);
    EndPaint(window_, &paint);
    return true;
}

void CArdekoPCISPDlg::OnBrowse() {
    const std::optional<std::u16string> chosen =
        file_open_(window_, {kBrowseDefaultExtension, kBrowseInitialName, kBrowseFilter});
    if (chosen) SetWindowTextW(Control(kIdFirmwarePath), ToWide(*chosen).c_str());
    core_->OnBrowseClosed(chosen.has_value());
}

void CArdekoPCISPDlg::OnBrowseSecond() {
    const std::optional<std::u16string> chosen = file_open_(
        window_, {kBrowseSecondDefaultExtension, kBrowseSecondInitialName, kBrowseSecondFilter});
    if (chosen) SetWindowTextW(Control(kIdSecondPath), ToWide(*chosen).c_str());
}

void CArdekoPCISPDlg::OnDestroy() {
    KillTimer(window_, kReplugTimerId);
    if (device_notifications_ != nullptr) UnregisterDeviceNotification(device_notifications_);
    device_notifications_ = nullptr;
    AllowSleep();
    SetWindowLongPtrW(window_, DWLP_USER, 0);
    window_ = nullptr;
    ended_ = true;
}

void CArdekoPCISPDlg::EndDialogLoop(INT_PTR result) {
    result_ = result;
    ended_ = true;
    // Wakes the loop when the end came in a sent message.
    PostMessageW(window_, WM_NULL, 0, 0);
}

}  // namespace torvex::win32
