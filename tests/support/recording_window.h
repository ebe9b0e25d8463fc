#pragma once
// A window port that records what the logic asked of the window, for tests. The status log is
// kept as text (CR LF line ends) and as a list of lines. Message boxes and posted clicks are
// recorded; a test can run its own code inside a message box to model the nested event loop.

#include <functional>
#include <string>
#include <vector>

#include "base/window_port.h"

namespace torvex::testing {

class RecordingWindow : public WindowPort {
  public:
    void AppendToStatusLog(std::u16string_view text) override;
    void AppendToSecondaryLog(std::u16string_view text) override { secondary_log.append(text); }
    void LoadStatusPicture(StatusPicture picture) override;
    void InvalidateStatusPicture() override { ++picture_invalidations; }
    void ForceRepaint() override { ++repaints; }
    void ResetProgress() override { progress = 0; }
    void StepProgress() override;
    void EnableUpdateButton(bool enabled) override;
    void ShowMessageBox(std::u16string_view text) override;
    void PostUpdateClick() override { ++posted_clicks; }
    void ClearFirmwarePath() override { firmware_path.clear(); }
    void ReportUpdateWriting() override { ++writing_reports; }
    void ReportRunEnding(RunEnding ending) override { endings.push_back(ending); }

    // The status log split at CR LF, without the line ends.
    std::vector<std::u16string> Lines() const;
    // The lines as UTF-8, for readable assertions.
    std::vector<std::string> Utf8Lines() const;
    void ClearLog() { status_log.clear(); }

    std::u16string status_log;
    std::u16string secondary_log;
    std::vector<StatusPicture> loaded_pictures;
    StatusPicture picture = StatusPicture::Standby;
    int picture_invalidations = 0;
    int repaints = 0;
    int progress = 0;
    int progress_steps = 0;  // every step asked for, also those the bar clamped
    bool update_enabled = false;
    std::vector<bool> update_enabling;  // every enable/disable call in order
    std::vector<std::u16string> message_boxes;
    int posted_clicks = 0;
    std::u16string firmware_path;
    std::vector<RunEnding> endings;  // in the order they were reported
    int writing_reports = 0;

    // Runs inside ShowMessageBox, as a nested event loop would.
    std::function<void(std::u16string_view)> on_message_box;
};

}  // namespace torvex::testing
