#pragma once
// Keeps the system awake while an update writes the product: a product cut off mid-write needs
// another update. The lock is taken when the update starts writing and released at the run's
// ending (the window port's ReportUpdateWriting and ReportRunEnding), across both runs of a
// two-run update. Without an inhibitor (no logind) that is said once, and the update goes on.

#include <functional>
#include <string>

#include "desktop/linux/sleep_inhibitor.h"

namespace torvex::desktop {

// What the system shows to whoever asks it to sleep during an update.
inline constexpr char kUpdateInhibitReason[] =
    "Writing the firmware of a USB product; a product cut off now needs another update";

class UpdateSleepGuard {
  public:
    using Say = std::function<void(const std::string& text)>;

    UpdateSleepGuard(SleepInhibitor& inhibitor, Say say)
        : inhibitor_(inhibitor), say_(std::move(say)) {}

    // The update starts (or goes on) writing: takes the lock unless it is held or this run
    // already tried in vain.
    void UpdateWriting();
    // The run ended, whichever way: lets the system sleep again.
    void RunEnded();

    bool Holding() const { return lock_.Held(); }

  private:
    SleepInhibitor& inhibitor_;
    Say say_;
    InhibitorLock lock_;
    bool tried_this_run_ = false;
    bool said_ = false;
};

}  // namespace torvex::desktop
