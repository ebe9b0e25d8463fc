#pragma once
// The window port of the headless runner: status-log lines to stdout, message boxes to stderr,
// both UTF-8. It remembers the first time the timer enables Update F/W (the runner clicks then,
// once), the clicks posted meanwhile, and which ending the run reached.

#include <cstdio>
#include <string>

#include "app/window_port.h"

namespace torvex::cli {

enum class RunOutcome {
    None,
    Success,         // "Update complete"
    AlreadyUpdated,  // "Your device is already updated."
    Failure,         // failure ending, or the replug time-out
    NotSupported,    // not-supported ending
};

// Exit status of the runner for an outcome; None is a run that ended without an ending.
int ExitStatusFor(RunOutcome outcome);

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

    // Takes one queued click, if any.
    bool TakePostedClick();
    RunOutcome Outcome() const { return outcome_; }

  private:
    std::FILE* log_out_;
    std::FILE* message_out_;
    bool clicked_once_ = false;
    int pending_clicks_ = 0;
    RunOutcome outcome_ = RunOutcome::None;
};

}  // namespace torvex::cli
