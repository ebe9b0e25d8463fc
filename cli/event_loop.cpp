#include "cli/event_loop.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/interruption.h"

namespace torvex::cli {

int MillisecondsUntil(Clock::time_point when, Clock::time_point now) {
    if (when <= now) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::min<long long>(ms, 60'000));
}

int RunEventLoop(DialogCore& core, HeadlessWindow& window, DeviceEventSource& events,
                 const LoopTiming& timing, const WaitForEvents& wait) {
    const auto clock = [&] { return timing.now ? timing.now() : Clock::now(); };
    const Clock::time_point start = clock();
    const Clock::time_point deadline = start + timing.timeout;
    Clock::time_point next_tick = start + timing.tick;
    // A stop requested while the update wrote ends the run once the handler that wrote is done.
    std::string interrupted;
    std::optional<int> stopped;
    const auto ended = [&] {
        interrupted = PendingInterruption();
        return !interrupted.empty() || window.Ended() || stopped.has_value();
    };
    const auto dispatching = [&](LoopEntry entry, std::uint32_t event) {
        if (timing.before_each_event) timing.before_each_event(entry, event);
    };
    const auto handled = [&] {
        if (timing.after_each_event) timing.after_each_event();
        if (timing.stop_with && !stopped) stopped = timing.stop_with();
    };

    if (timing.stop_with) stopped = timing.stop_with();
    while (!ended()) {
        // Posted clicks run before anything else, as a message queue would deliver them.
        if (window.TakePostedClick()) {
            dispatching(LoopEntry::Click, 0);
            core.OnUpdateFw();
            handled();
            continue;
        }
        wait(events, std::min({next_tick, deadline, events.NextDue()}));
        if (ended()) break;

        const Clock::time_point now = clock();
        for (std::uint32_t event : events.TakeDueEvents(now)) {
            dispatching(LoopEntry::DeviceChange, event);
            core.OnDeviceChange(event);
            handled();
            if (ended()) break;
        }
        if (ended()) break;
        if (now >= next_tick) {
            dispatching(LoopEntry::Tick, 0);
            core.OnReplugTimer();
            handled();
            // Missed ticks are not queued: the next one simply comes later.
            next_tick = std::max(next_tick + timing.tick, now);
        }
        if (!ended() && now >= deadline) return kExitNoEnding;
    }
    if (!interrupted.empty()) {
        window.ReportInterruption(interrupted);
        return kExitInterrupted;
    }
    if (stopped) return *stopped;
    return ExitStatusFor(window.Ending());
}

}  // namespace torvex::cli
