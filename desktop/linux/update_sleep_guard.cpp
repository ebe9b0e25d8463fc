#include "desktop/linux/update_sleep_guard.h"

namespace torvex::desktop {

void UpdateSleepGuard::UpdateWriting() {
    if (lock_.Held() || tried_this_run_) return;
    tried_this_run_ = true;
    Inhibition inhibition = inhibitor_.Inhibit(kUpdateInhibitReason);
    if (inhibition.lock.Held()) {
        lock_ = std::move(inhibition.lock);
        return;
    }
    if (said_) return;
    said_ = true;
    if (say_)
        say_("the system may sleep while the product is written: no sleep inhibitor from logind (" +
             inhibition.failure + ")");
}

void UpdateSleepGuard::RunEnded() {
    lock_.Release();
    tried_this_run_ = false;
}

}  // namespace torvex::desktop
