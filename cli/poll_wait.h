#pragma once
// How the runner sleeps on Linux: poll() on the device-event source's descriptor (a udev
// monitor's socket; none for the virtual product) until it is readable or the time comes.

#include "cli/event_loop.h"

namespace torvex::cli {

void PollForEvents(const DeviceEventSource& events, Clock::time_point until);

}  // namespace torvex::cli
