#pragma once
// The headless runner's event loop, the same on every system: the posted Update F/W clicks, the
// device changes that are due, the supervision tick and the time-out, dispatched one at a time
// on this thread. Only how it sleeps between them differs per system (poll_wait.h on Linux,
// message_wait.h on Windows).

#include <chrono>
#include <functional>

#include "app/dialog_core.h"
#include "cli/headless_window.h"
#include "device/device_event_source.h"

namespace torvex::cli {

using Clock = std::chrono::steady_clock;

// Sleeps until `events` may have something (its descriptor became readable, or a message of this
// thread queued a device change) or `until` comes, whichever is first. It may return early.
using WaitForEvents = std::function<void(const DeviceEventSource& events, Clock::time_point until)>;

struct LoopTiming {
    std::chrono::milliseconds tick{1000};
    std::chrono::seconds timeout{120};
    // Runs after every tick, click and device change (e.g. to show advice the platform has).
    std::function<void()> after_each_event;
};

// Runs until the run reaches an ending or the time-out passes; returns the exit status.
int RunEventLoop(DialogCore& core, HeadlessWindow& window, DeviceEventSource& events,
                 const LoopTiming& timing, const WaitForEvents& wait);

// Whole milliseconds from `now` until `when` (rounded up), 0 when it has come, at most a minute:
// a wait's time-out.
int MillisecondsUntil(Clock::time_point when, Clock::time_point now);

}  // namespace torvex::cli
