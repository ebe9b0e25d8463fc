#pragma once
// --replay: the runner against a trace instead of devices. The trace's first line gives the run's
// options (list or update, --port, --serial); the platform answers from its records. The run goes
// through the same event loop as any other: the trace's device changes come from an event source
// of its own, its ticks and clicks must be the ones the loop dispatches, and the loop's clock is
// the replay's, which moves on to whatever the loop waits for, so the trace's order holds whatever
// the real clock says. The replay ends as the recorded run ended, or at the first call the run
// makes that the trace does not hold (exit status 5, the call and the trace's line on stderr).

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_core.h"
#include "cli/event_loop.h"
#include "cli/headless_window.h"
#include "cli/options.h"
#include "firmware/embedded_images.h"
#include "trace/replay_platform.h"

namespace torvex::cli {

// The whole replay: reads the trace named by --replay and runs the tool against it.
int RunReplay(const Options& options, const FirmwareBlockStore& blocks, std::FILE* out,
              std::FILE* err);

// The trace's device changes, and the replay's clock: a "device" line that comes next is due at
// once; anything else waits for the loop (its tick, or a click the run posts).
class ReplayEvents final : public DeviceEventSource {
  public:
    explicit ReplayEvents(ReplayPlatform& replay) : replay_(replay) {}

    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) override;
    Clock::time_point NextDue() const override;

    Clock::time_point Now() const { return now_; }
    // The loop's wait: the clock moves on to `until` at once.
    void WaitUntil(Clock::time_point until) { now_ = std::max(now_, until); }

  private:
    ReplayPlatform& replay_;
    Clock::time_point now_{};
};

// Before the loop dispatches a tick or a click: the trace must hold the same next, or the run has
// left it.
void ReplayDispatching(ReplayPlatform& replay, LoopEntry entry);

// Whether the replayed run stops here: it left the trace (kExitLeftTrace), or the trace's next
// item is its end line or a call the run did not make (the exit status of the run's ending; the
// verdict says the rest).
std::optional<int> ReplayStop(ReplayPlatform& replay, const HeadlessWindow& window);

// After the run: the trace must end there, with the same exit status. Returns the status to exit
// with (kExitLeftTrace, with the reason on `err`, when the run left the trace).
int ReplayVerdict(ReplayPlatform& replay, int status, std::FILE* err);

}  // namespace torvex::cli
