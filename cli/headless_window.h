#pragma once
// The window port of the headless runner: status-log lines to stdout, message boxes to stderr,
// both UTF-8. It remembers the first time the timer enables Update F/W (the runner clicks then,
// once), the clicks posted meanwhile, and the ending the run reached.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "base/window_port.h"

namespace torvex::cli {

// Exit statuses of the runner besides those of the endings.
inline constexpr int kExitNoEnding = 3;         // no ending before the time-out, or none can come
inline constexpr int kExitSeveralProducts = 4;  // more than one product attached, none chosen
inline constexpr int kExitLeftTrace = 5;        // a replay that did not follow its trace
inline constexpr int kExitBadUsage = 64;

// Exit status of the runner for the ending a run reached; none: the time-out came first.
int ExitStatusFor(std::optional<RunEnding> ending);

class HeadlessWindow : public WindowPort {
  public:
    HeadlessWindow(std::FILE* log_out, std::FILE* message_out)
        : log_out_(log_out), message_out_(message_out) {}

    void AppendToStatusLog(std::u16string_view text) override;
    void AppendToSecondaryLog(std::u16string_view) override {}
    void LoadStatusPicture(StatusPicture) override {}
    void InvalidateStatusPicture() override {}
    void ForceRepaint() override {}
    void ResetProgress() override {}
    void StepProgress() override {}
    void EnableUpdateButton(bool enabled) override;
    void ShowMessageBox(std::u16string_view text) override;
    void PostUpdateClick() override { ++pending_clicks_; }
    void ClearFirmwarePath() override {}
    void ReportUpdateWriting() override;
    void ReportRunEnding(RunEnding ending) override;

    // Told when the update starts writing and when a run ends.
    void SetRunHooks(std::function<void()> update_writing, std::function<void()> run_ended) {
        update_writing_ = std::move(update_writing);
        run_ended_ = std::move(run_ended);
    }

    // Takes one queued click, if any.
    bool TakePostedClick();
    // The first ending that ends the runner's run; a rejected firmware does not (the window would
    // wait for another file, and so does the runner, until its time-out).
    const std::optional<RunEnding>& Ending() const { return ending_; }
    bool Ended() const { return ending_.has_value(); }
    // On stderr: the update was interrupted after the last step the log reported.
    void ReportInterruption(const std::string& signal);

  private:
    std::FILE* log_out_;
    std::FILE* message_out_;
    bool clicked_once_ = false;
    int pending_clicks_ = 0;
    std::optional<RunEnding> ending_;
    std::string last_line_;
    std::function<void()> update_writing_;
    std::function<void()> run_ended_;
};

}  // namespace torvex::cli
