#pragma once
// The runner's window port with --json: stdout becomes one JSON object per line, each with "ms"
// (milliseconds since the run started) and an "event": "log" (its "text" exactly the line the
// plain output prints), "picture" (when the status picture changes), "progress" ("position"
// 0..7), "button" (when Update F/W is enabled or disabled), "box" (a message box's "text"), and
// one final "ending" that the runner writes. The clicks and the ending are kept as the plain
// window keeps them.

#include <chrono>
#include <optional>

#include "cli/headless_window.h"
#include "trace/json_line.h"

namespace torvex::cli {

class JsonWindow final : public HeadlessWindow {
  public:
    using Clock = std::chrono::steady_clock;
    JsonWindow(std::FILE* out, std::FILE* err, Clock::time_point start)
        : HeadlessWindow(out, err), out_(out), start_(start) {}

    void AppendToStatusLog(std::u16string_view text) override;
    void LoadStatusPicture(StatusPicture picture) override;
    void ResetProgress() override;
    void StepProgress() override;
    void EnableUpdateButton(bool enabled) override;
    void ShowMessageBox(std::u16string_view text) override;

    // A line that starts with "ms" and "event"; the caller adds the rest.
    JsonLine Event(std::string_view event) const;
    void Write(const JsonLine& line);

  private:
    std::FILE* out_;
    Clock::time_point start_;
    std::optional<StatusPicture> picture_;
    std::optional<bool> button_;
    int progress_ = 0;
};

// "Standby", "Fail", "Pass", "Ready", "Updating", "Complete".
std::string_view PictureName(StatusPicture picture);

}  // namespace torvex::cli
