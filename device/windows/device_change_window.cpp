#include "device/windows/device_change_window.h"

#include "device/device_platform.h"
#include "device/windows/disk_interface_notifications.h"

namespace torvex::windows {

namespace {

constexpr wchar_t kClassName[] = L"TorvexIspDeviceChanges";

bool RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = procedure;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = kClassName;
    // A second window in the same process finds the class already there.
    return RegisterClassExW(&cls) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

DeviceChangeWindow::DeviceChangeWindow() {
    if (!RegisterWindowClass(&DeviceChangeWindow::Procedure)) {
        error_ = GetLastError();
        return;
    }
    // A top-level window that is never shown: no parent, not HWND_MESSAGE, no WS_VISIBLE.
    window_ = CreateWindowExW(0, kClassName, L"Torvex ISP device changes", WS_OVERLAPPED, 0, 0, 0,
                              0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (window_ == nullptr) {
        error_ = GetLastError();
        return;
    }
    notifications_ = RegisterDiskInterfaceNotifications(window_);
}

DeviceChangeWindow::~DeviceChangeWindow() {
    if (notifications_ != nullptr) UnregisterDeviceNotification(notifications_);
    if (window_ != nullptr) DestroyWindow(window_);
}

std::vector<std::uint32_t> DeviceChangeWindow::TakeDueEvents(Clock::time_point) {
    std::vector<std::uint32_t> events;
    events.swap(queued_);
    return events;
}

DeviceEventSource::Clock::time_point DeviceChangeWindow::NextDue() const {
    return queued_.empty() ? Clock::time_point::max() : Clock::now();
}

LRESULT CALLBACK DeviceChangeWindow::Procedure(HWND hwnd, UINT message, WPARAM wparam,
                                               LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (message != WM_DEVICECHANGE) return DefWindowProcW(hwnd, message, wparam, lparam);
    auto* self = reinterpret_cast<DeviceChangeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // Only arrival and complete removal are device changes for the tool; every other event
    // (DBT_DEVNODES_CHANGED, queries, pending removals) is granted and passed by.
    const auto event = static_cast<std::uint32_t>(wparam);
    if (self != nullptr && (event == kDeviceArrival || event == kDeviceRemoveComplete))
        self->queued_.push_back(event);
    return TRUE;
}

}  // namespace torvex::windows
