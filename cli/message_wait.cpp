#include "cli/message_wait.h"

#include <windows.h>

namespace torvex::cli {

namespace {

// Sent messages (the system's broadcasts) are delivered inside PeekMessageW; posted ones are
// dispatched here.
void DispatchPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

void WaitDispatchingMessages(const DeviceEventSource& events, Clock::time_point until) {
    DispatchPendingMessages();
    // A message just dispatched may have queued a device change: no sleeping then.
    if (events.NextDue() <= Clock::now()) return;
    const auto timeout = static_cast<DWORD>(MillisecondsUntil(until, Clock::now()));
    // MWMO_INPUTAVAILABLE: wake also for messages that arrived before the wait began.
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    DispatchPendingMessages();
}

}  // namespace torvex::cli
