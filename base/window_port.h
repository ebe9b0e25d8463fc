#pragma once
// What the update logic asks of the main window. The Qt dialog implements it with widgets, the
// headless runner with stdout/stderr, and tests with a recorder. Every call comes from the one UI
// thread; ShowMessageBox may run nested event handling (ticks, device changes, posted clicks)
// before it returns.

#include <cstdint>
#include <string_view>

#include "base/run_ending.h"

namespace torvex {

// Status pictures, by their resource ids.
enum class StatusPicture : std::uint16_t {
    Standby = 135,
    Fail = 136,
    Pass = 137,  // carried, never selected
    Ready = 138,
    Updating = 139,
    Complete = 140,
};

// Highest position of the progress bar (range 0..7).
inline constexpr int kProgressMaximum = 7;

class WindowPort {
  public:
    virtual ~WindowPort() = default;

    // Appends text at the end of the status log / the hidden secondary log and brings the end
    // into view. The text already carries its line end. Must cost the same whatever the log's
    // length.
    virtual void AppendToStatusLog(std::u16string_view text) = 0;
    virtual void AppendToSecondaryLog(std::u16string_view text) = 0;

    // Loads a picture as the status picture; it is painted after InvalidateStatusPicture.
    virtual void LoadStatusPicture(StatusPicture picture) = 0;
    virtual void InvalidateStatusPicture() = 0;

    // Paints the whole window now, before a long blocking operation starts.
    virtual void ForceRepaint() = 0;

    // Progress bar: back to 0, or one step further (the bar clamps at kProgressMaximum).
    virtual void ResetProgress() = 0;
    virtual void StepProgress() = 0;

    virtual void EnableUpdateButton(bool enabled) = 0;

    // Modal box with an OK button; returns when the operator closed it.
    virtual void ShowMessageBox(std::u16string_view text) = 0;

    // Queues an Update F/W click; it runs when the event loop next dispatches, even while the
    // button is disabled.
    virtual void PostUpdateClick() = 0;

    // Empties the firmware path field.
    virtual void ClearFirmwarePath() = 0;

    // The update is about to write the product (erase, program, or send it to another code to be
    // written there). From now until a run ending is reported the system must not sleep: a
    // product cut off mid-write needs another update. Called again by each run of a two-run
    // update; only the ending releases it.
    virtual void ReportUpdateWriting() = 0;

    // A run ended this way; called once per ending, before any message box of that ending.
    virtual void ReportRunEnding(RunEnding ending) = 0;
};

// Loads the picture and has it painted.
inline void SetStatusPicture(WindowPort& window, StatusPicture picture) {
    window.LoadStatusPicture(picture);
    window.InvalidateStatusPicture();
}

}  // namespace torvex
