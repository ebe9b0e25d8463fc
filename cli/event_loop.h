#pragma once
// The headless runner's event loop, the same on every system: the posted Update F/W clicks, the
// device changes that are due, the supervision tick and the time-out, dispatched one at a time
// on this thread. Only how it sleeps between them differs per system (poll_wait.h on Linux,
// message_wait.h on Windows).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/dialog_core.h"
#include "cli/headless_window.h"
#include "device/device_event_source.h"

namespace torvex::cli {

using Clock = std::chrono::steady_clock;

// Sleeps until `events` may have something (its descriptor became readable, or a message of this
// thread queued a device change) or `until` comes, whichever is first. It may return early.
using WaitForEvents = std::function<void(const DeviceEventSource& events, Clock::time_point until)>;

// What the loop dispatches to the tool.
enum class LoopEntry : std::uint8_t { Tick, Click, DeviceChange };

struct LoopTiming {
    std::chrono::milliseconds tick{1000};
    std::chrono::seconds timeout{120};
    // The loop's clock: the steady clock, or a replay's own, which moves as the loop waits.
    std::function<Clock::time_point()> now;
    // Runs after every tick, click and device change (e.g. to show advice the platform has).
    std::function<void()> after_each_event;
    // Runs just before each of them is dispatched (a trace records them); `event` is the device
    // change's type.
    std::function<void(LoopEntry entry, std::uint32_t event)> before_each_event;
    // Asked before the first of them and after each: an exit status ends the run at once (the
    // runner found several products and must not choose; a replay reached its trace's end).
    std::function<std::optional<int>()> stop_with;
};

// Runs until the run reaches an ending or the time-out passes; returns the exit status.
int RunEventLoop(DialogCore& core, HeadlessWindow& window, DeviceEventSource& events,
                 const LoopTiming& timing, const WaitForEvents& wait);

// Whole milliseconds from `now` until `when` (rounded up), 0 when it has come, at most a minute:
// a wait's time-out.
int MillisecondsUntil(Clock::time_point when, Clock::time_point now);

}  // namespace torvex::cli
