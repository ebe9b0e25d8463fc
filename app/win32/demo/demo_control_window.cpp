#include "app/win32/demo/demo_control_window.h"

#include <array>
#include <string>

#include "app/win32/status_picture_view.h"
#include "app/win32/win32_text.h"
#include "simulator/product_presets.h"
#include "simulator/product_workbench.h"

namespace torvex::win32::demo {

namespace {

constexpr wchar_t kClassName[] = L"TorvexVirtualProduct";
constexpr UINT_PTR kClockTimer = 1;
constexpr UINT kClockPeriodMs = 20;

constexpr std::array<sim::ProductMode, 5> kModes = {
    sim::ProductMode::Application, sim::ProductMode::Ota, sim::ProductMode::ProtectIsp,
    sim::ProductMode::Mask0210, sim::ProductMode::Mask0110};

std::wstring Widen(std::string_view text) {
    return {text.begin(), text.end()};  // the simulator's names are ASCII
}

ATOM RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = procedure;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kClassName;
    const ATOM atom = RegisterClassExW(&cls);
    if (atom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return 1;
    return atom;
}

void AddItem(HWND combo, const std::wstring& text, int value) {
    const auto index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), value);
}

}  // namespace

DemoControlWindow::DemoControlWindow(sim::VirtualPlatform& platform, sim::DiskIndex disk,
                                     sim::VirtualProductEvents& events, CArdekoPCISPDlg& tool,
                                     sim::ProductPreset preset)
    : platform_(platform), disk_(disk), events_(events), tool_(tool), start_preset_(preset) {}

DemoControlWindow::~DemoControlWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (font_ != nullptr) DeleteObject(font_);
}

bool DemoControlWindow::Create(int x, int y) {
    if (RegisterWindowClass(&DemoControlWindow::Procedure) == 0) return false;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    window_ = CreateWindowExW(0, kClassName, L"Virtual product", style, x, y, 0, 0, nullptr,
                              nullptr, GetModuleHandleW(nullptr), this);
    if (window_ == nullptr) return false;
    const int dpi = static_cast<int>(WindowDpi(window_));
    RECT frame{0, 0, MulDiv(620, dpi, 96), MulDiv(400, dpi, 96)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    CreateControls();
    ShowSummary();
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    SetTimer(window_, kClockTimer, kClockPeriodMs, nullptr);
    return true;
}

HWND DemoControlWindow::AddControl(const wchar_t* type, const wchar_t* text, DWORD style,
                                   RECT pixels, int id) {
    const int dpi = static_cast<int>(WindowDpi(window_));
    const auto scale = [dpi](LONG value) { return MulDiv(value, dpi, 96); };
    HWND control = CreateWindowExW(0, type, text, WS_CHILD | WS_VISIBLE | style, scale(pixels.left),
                                   scale(pixels.top), scale(pixels.right), scale(pixels.bottom),
                                   window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    return control;
}

void DemoControlWindow::CreateControls() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);

    const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
    const DWORD list = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    AddControl(L"BUTTON", L"Plug in", button, {10, 10, 90, 26}, kPlug);
    AddControl(L"BUTTON", L"Unplug", button, {106, 10, 90, 26}, kUnplug);
    AddControl(L"BUTTON", L"Re-enumerate in", button, {202, 10, 120, 26}, kReenumerate);
    mode_ = AddControl(L"COMBOBOX", L"", list, {328, 12, 150, 200}, kMode);
    for (sim::ProductMode mode : kModes) AddItem(mode_, Widen(sim::ModeName(mode)), int(mode));
    SendMessageW(mode_, CB_SETCURSEL, 0, 0);

    preset_ = AddControl(L"COMBOBOX", L"", list, {10, 46, 312, 300}, kPreset);
    for (sim::ProductPreset preset : sim::AllPresets()) {
        AddItem(preset_, Widen(sim::PresetName(preset)), int(preset));
        if (preset == start_preset_)
            SendMessageW(preset_, CB_SETCURSEL, SendMessageW(preset_, CB_GETCOUNT, 0, 0) - 1, 0);
    }
    AddControl(L"BUTTON", L"Load state", button, {328, 44, 150, 26}, kLoadState);

    fault_command_ = AddControl(L"COMBOBOX", L"", list, {10, 80, 200, 300}, kFaultCommand);
    for (sim::Command command : sim::FaultCommands())
        AddItem(fault_command_, Widen(sim::CommandName(command)), int(command));
    SendMessageW(fault_command_, CB_SETCURSEL, 0, 0);
    fault_action_ = AddControl(L"COMBOBOX", L"", list, {216, 80, 190, 300}, kFaultAction);
    for (sim::FaultAction action : sim::FaultActions())
        AddItem(fault_action_, Widen(sim::FaultActionName(action)), int(action));
    SendMessageW(fault_action_, CB_SETCURSEL, 0, 0);
    AddControl(L"BUTTON", L"Inject", button, {412, 78, 96, 26}, kInject);
    AddControl(L"BUTTON", L"Clear faults", button, {514, 78, 96, 26}, kClearFaults);

    summary_ = AddControl(L"EDIT", L"", ES_MULTILINE | ES_READONLY | WS_BORDER, {10, 116, 600, 104},
                          kSummary);
    AddControl(L"STATIC", L"The tool's status log:", 0, {10, 228, 300, 16}, -1);
    tool_log_ = AddControl(
        L"EDIT", L"",
        ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
        {10, 246, 600, 144}, kToolLog);
    SendMessageW(tool_log_, EM_SETLIMITTEXT, 0, 0);
}

LRESULT CALLBACK DemoControlWindow::Procedure(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* creator = static_cast<DemoControlWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        creator->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
    }
    auto* self = reinterpret_cast<DemoControlWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window)
        return DefWindowProcW(window, message, wparam, lparam);
    return self->Handle(message, wparam, lparam);
}

LRESULT DemoControlWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_TIMER:
            Pump();
            return 0;
        case WM_COMMAND:
            if (HIWORD(wparam) == BN_CLICKED) OnCommand(LOWORD(wparam));
            return 0;
        case WM_CLOSE:
            // The product's window belongs to the tool's: closing it ends the demo.
            PostMessageW(tool_.Window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return 0;
        case WM_DESTROY:
            KillTimer(window_, kClockTimer);
            window_ = nullptr;
            return 0;
        default:
            return DefWindowProcW(window_, message, wparam, lparam);
    }
}

void DemoControlWindow::Pump() {
    for (std::uint32_t event : events_.TakeDueEvents(sim::VirtualProductEvents::Clock::now())) {
        if (tool_.Window() == nullptr) return;
        tool_.DeliverDeviceChange(event);
    }
    ShowSummary();
    ShowToolLog();
}

}  // namespace torvex::win32::demo
