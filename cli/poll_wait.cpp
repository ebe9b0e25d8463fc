#include "cli/poll_wait.h"

#include <poll.h>

namespace torvex::cli {

void PollForEvents(const DeviceEventSource& events, Clock::time_point until) {
    const int fd = events.Descriptor();
    pollfd watched{fd, POLLIN, 0};
    // An interrupted or failed poll returns early; the loop then simply looks again.
    poll(fd >= 0 ? &watched : nullptr, fd >= 0 ? 1 : 0, MillisecondsUntil(until, Clock::now()));
}

}  // namespace torvex::cli
