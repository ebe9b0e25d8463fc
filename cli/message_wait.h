#pragma once
// How the runner sleeps on Windows: in MsgWaitForMultipleObjectsEx, dispatching this thread's
// messages before and after, so that the device-change window receives the system's
// WM_DEVICECHANGE broadcasts while the loop waits for its tick.

#include "cli/event_loop.h"

namespace torvex::cli {

void WaitDispatchingMessages(const DeviceEventSource& events, Clock::time_point until);

}  // namespace torvex::cli
