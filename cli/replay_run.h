#pragma once
// --replay: the runner against a trace instead of devices. The trace's first line gives the run's
// options (list or update, --port, --serial); its ticks, clicks and device changes are dispatched
// in their order, whatever the clock says; the platform answers from its records. The replay
// ends as the recorded run ended, or at the first call the run makes that the trace does not
// hold (exit status 5, the call and the trace's line named on stderr).

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

// Dispatches the trace's marks until the run ends, the trace's end line comes, or the run leaves
// the trace.
int ReplayMarks(DialogCore& core, HeadlessWindow& window, ReplayPlatform& replay,
                const LoopTiming& timing);

// After the run: the trace must end there, with the same exit status. Returns the status to exit
// with (kExitLeftTrace, with the reason on `err`, when the run left the trace).
int ReplayVerdict(ReplayPlatform& replay, int status, std::FILE* err);

}  // namespace torvex::cli
