#pragma once
// The headless runner's event loop on Windows: a hidden top-level window and its message loop.
// The supervision tick is a SetTimer timer, device changes arrive as the WM_DEVICECHANGE
// broadcasts every top-level window receives (a message-only window would not), and Update F/W
// clicks are WM_COMMAND 1005 messages posted to the window, dispatched in queue order. With a
// source that has its own schedule (the virtual product) device changes come from it alone,
// each when it is due.

#include <windows.h>

#include <cstdint>

#include "app/dialog_core.h"
#include "cli/event_loop.h"
#include "cli/headless_window.h"

namespace torvex::cli {

inline constexpr WORD kUpdateButtonId = 1005;

class WindowsMessageLoop {
  public:
    WindowsMessageLoop(DialogCore& core, HeadlessWindow& window,
                       DeviceEventSource* scheduled = nullptr)
        : core_(core), window_(window), scheduled_(scheduled) {}
    WindowsMessageLoop(const WindowsMessageLoop&) = delete;
    WindowsMessageLoop& operator=(const WindowsMessageLoop&) = delete;
    ~WindowsMessageLoop();

    // Creates the hidden top-level window; false when Windows refused.
    bool Create();
    HWND Window() const { return hwnd_; }

    // Runs until the run reaches an ending or `timing.timeout` passes; returns the exit status.
    // Without `tick` (start-up stopped early) no supervision timer runs.
    int Run(LoopTiming timing, bool tick);

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void OnTimer(UINT_PTR id);
    void DeviceChange(std::uint32_t event_type);
    // After every handler: queue the clicks the runner owes, and stop once the run has ended.
    void AfterHandler();
    void Finish(int status);
    void ArmDeadline();
    // Sends the scheduled device changes that are due, then waits for the next one.
    void DeliverScheduledEvents();
    void ArmScheduledEvents();

    DialogCore& core_;
    HeadlessWindow& window_;
    DeviceEventSource* scheduled_;
    LoopTiming timing_;
    HWND hwnd_ = nullptr;
    ULONGLONG deadline_ = 0;  // GetTickCount64 value at which the run gives up
    int status_ = -1;         // the exit status once the run is over
};

}  // namespace torvex::cli
