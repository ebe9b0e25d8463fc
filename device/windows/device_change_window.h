#pragma once
// Device change on Windows: a hidden top-level window that receives WM_DEVICECHANGE, as a
// device-event source. The system broadcasts arrivals and removals of volumes to every top-level
// window (a message-only window gets none); the window is also registered for the disk interface
// class, so a product without a volume (in boot, ISP or OTA code) is seen too. Messages reach the
// window while the thread that made it dispatches its messages (the runner's wait does); each
// arrival and complete removal is queued there until the event loop takes it.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "device/device_event_source.h"

namespace torvex::windows {

class DeviceChangeWindow final : public DeviceEventSource {
  public:
    // Creates the window on this thread and registers it for disk interfaces.
    DeviceChangeWindow();
    ~DeviceChangeWindow() override;
    DeviceChangeWindow(const DeviceChangeWindow&) = delete;
    DeviceChangeWindow& operator=(const DeviceChangeWindow&) = delete;

    // False when Windows refused the window; Error() then holds its error code.
    bool IsListening() const { return window_ != nullptr; }
    DWORD Error() const { return error_; }
    HWND Window() const { return window_; }
    // False when the registration for disk interfaces was refused: only volumes are then seen.
    bool SeesDisksWithoutVolume() const { return notifications_ != nullptr; }

    // Returns the queued events (kDeviceArrival, kDeviceRemoveComplete) in order and clears them.
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) override;
    // Now while an event is queued; never otherwise (the next one comes as a message).
    Clock::time_point NextDue() const override;

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

    HWND window_ = nullptr;
    HDEVNOTIFY notifications_ = nullptr;
    DWORD error_ = 0;
    std::vector<std::uint32_t> queued_;
};

}  // namespace torvex::windows
