#pragma once
// The headless runner's event loop: the supervision tick, the posted Update F/W clicks and the
// device changes, dispatched one at a time on this thread. It sleeps in poll() between events.

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/dialog_core.h"
#include "cli/headless_window.h"
#include "device/device_event_source.h"

namespace torvex::cli {

using Clock = std::chrono::steady_clock;

struct LoopTiming {
    std::chrono::milliseconds tick{1000};
    std::chrono::seconds timeout{120};
    // Runs after every tick, click and device change (e.g. to show advice the platform has).
    std::function<void()> after_each_event;
};

// Runs until the run reaches an ending or the time-out passes; returns the exit status.
int RunEventLoop(DialogCore& core, HeadlessWindow& window, DeviceEventSource& events,
                 LoopTiming timing);

}  // namespace torvex::cli
