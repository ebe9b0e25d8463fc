#include "cli/windows_message_loop.h"

#include <algorithm>

namespace torvex::cli {

namespace {

constexpr wchar_t kClassName[] = L"TorvexIspHeadlessRunner";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kDeadlineTimer = 2;
constexpr UINT_PTR kScheduleTimer = 3;
constexpr int kNoEnding = 3;

ATOM RegisterRunnerClass(WNDPROC procedure) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = procedure;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = kClassName;
    const ATOM atom = RegisterClassExW(&cls);
    // A second loop in the same process finds the class already there.
    if (atom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return 1;
    return atom;
}

}  // namespace

WindowsMessageLoop::~WindowsMessageLoop() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool WindowsMessageLoop::Create() {
    if (RegisterRunnerClass(&WindowsMessageLoop::Procedure) == 0) return false;
    // A top-level window that is never shown: no parent, not HWND_MESSAGE, no WS_VISIBLE.
    hwnd_ = CreateWindowExW(0, kClassName, L"torvex-isp-cli", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                            nullptr, GetModuleHandleW(nullptr), this);
    return hwnd_ != nullptr;
}

int WindowsMessageLoop::Run(LoopTiming timing, bool tick) {
    timing_ = timing;
    deadline_ = GetTickCount64() + static_cast<ULONGLONG>(timing.timeout.count()) * 1000u;
    if (tick) SetTimer(hwnd_, kTickTimer, static_cast<UINT>(timing.tick.count()), nullptr);
    ArmDeadline();
    AfterHandler();  // the click owed since start-up, if the button is already enabled

    MSG message;
    while (status_ < 0 && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    KillTimer(hwnd_, kTickTimer);
    KillTimer(hwnd_, kDeadlineTimer);
    KillTimer(hwnd_, kScheduleTimer);
    return status_ < 0 ? kNoEnding : status_;
}

LRESULT CALLBACK WindowsMessageLoop::Procedure(HWND hwnd, UINT message, WPARAM wparam,
                                               LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* loop = reinterpret_cast<WindowsMessageLoop*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (loop == nullptr || loop->hwnd_ != hwnd)
        return DefWindowProcW(hwnd, message, wparam, lparam);
    return loop->Handle(message, wparam, lparam);
}

LRESULT WindowsMessageLoop::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    // Once the run is over nothing more reaches the core, whatever is still queued.
    const bool over = status_ >= 0;
    switch (message) {
        case WM_TIMER:
            if (!over) OnTimer(wparam);
            return 0;
        case WM_DEVICECHANGE:
            // Every event type goes to the core, which acts on arrival and removal only. With a
            // scheduled source (the virtual product) the system's own devices are not watched.
            if (!over && scheduled_ == nullptr) DeviceChange(static_cast<std::uint32_t>(wparam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) != kUpdateButtonId) break;
            if (!over) core_.OnUpdateFw();
            AfterHandler();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void WindowsMessageLoop::OnTimer(UINT_PTR id) {
    if (id == kTickTimer) {
        // A scheduled source's clock follows the ticks: what is due by now comes first.
        if (scheduled_ != nullptr) DeliverScheduledEvents();
        if (status_ >= 0) return;
        core_.OnReplugTimer();
        AfterHandler();
    } else if (id == kDeadlineTimer) {
        // A deadline beyond the longest timer period is reached in several steps.
        if (GetTickCount64() >= deadline_)
            Finish(kNoEnding);
        else
            ArmDeadline();
    } else if (id == kScheduleTimer) {
        DeliverScheduledEvents();
    }
}

void WindowsMessageLoop::DeviceChange(std::uint32_t event_type) {
    core_.OnDeviceChange(event_type);
    AfterHandler();
}

void WindowsMessageLoop::AfterHandler() {
    if (status_ >= 0) return;
    if (timing_.after_each_event) timing_.after_each_event();
    if (window_.Ended()) return Finish(ExitStatusFor(window_.Ending()));
    while (window_.TakePostedClick()) PostMessageW(hwnd_, WM_COMMAND, kUpdateButtonId, 0);
    // What the handler did may have changed the schedule (a product told to restart leaves).
    ArmScheduledEvents();
}

void WindowsMessageLoop::DeliverScheduledEvents() {
    KillTimer(hwnd_, kScheduleTimer);
    for (std::uint32_t event : scheduled_->TakeDueEvents(Clock::now())) {
        if (status_ >= 0) return;
        DeviceChange(event);
    }
    ArmScheduledEvents();
}

void WindowsMessageLoop::ArmScheduledEvents() {
    if (scheduled_ == nullptr || status_ >= 0) return;
    const Clock::time_point due = scheduled_->NextDue();
    if (due == Clock::time_point::max()) return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
    const long long period = std::clamp<long long>(wait, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    SetTimer(hwnd_, kScheduleTimer, static_cast<UINT>(period), nullptr);
}

void WindowsMessageLoop::Finish(int status) {
    status_ = status;
    // Wakes GetMessageW when the ending came in a sent message (a device-change broadcast).
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void WindowsMessageLoop::ArmDeadline() {
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG left = deadline_ > now ? deadline_ - now : 0;
    const ULONGLONG period = std::clamp<ULONGLONG>(left, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    SetTimer(hwnd_, kDeadlineTimer, static_cast<UINT>(period), nullptr);
}

}  // namespace torvex::cli
