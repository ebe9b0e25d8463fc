#pragma once
// What the runner does when it is asked to stop (SIGINT, SIGTERM, SIGHUP; on Windows Ctrl+C,
// Ctrl+Break and closing the console). A procedure that writes the product is never cut off in
// the middle: between an erase and the end of programming the product holds no firmware. So:
// - outside an update that writes, the runner stops at once with exit status 130;
// - while an update writes, the request is noted, the running procedure finishes, and the runner
//   then ends with exit status 130 and one line on stderr naming the last step done and saying
//   that the product needs another update;
// - a second request stops at once, whatever runs.
// A reader that goes away (SIGPIPE) never stops the runner: the status log is only a report.

#include <chrono>
#include <string>

namespace torvex::cli {

inline constexpr int kExitInterrupted = 130;

// Installs the handlers, once per process.
void InstallInterruptionHandlers();

// The runner tells the handlers whether an update is writing the product now.
void SetUpdateWriting(bool writing);

// The name of the signal that asked to stop while an update wrote ("SIGINT", ...), empty when
// none did.
std::string PendingInterruption();

// With --json, a stop at once still ends the stream with its "ending" event ("interrupted", exit
// 130), written to `fd` with the milliseconds since `start`, so a reader never waits for one
// that does not come. A negative fd turns it off.
void EndJsonStreamOnStopAtOnce(int fd, std::chrono::steady_clock::time_point start);

// Forgets a pending request (tests).
void ClearInterruption();

}  // namespace torvex::cli
