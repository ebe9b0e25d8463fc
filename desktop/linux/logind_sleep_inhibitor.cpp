#include "desktop/linux/logind_sleep_inhibitor.h"

#include <fcntl.h>

#include <cerrno>

#include "desktop/linux/system_bus.h"

namespace torvex::desktop {

Inhibition LogindSleepInhibitor::Inhibit(const std::string& why) {
    BusOpening opening = OpenBus(address_);
    if (!opening.bus) return {InhibitorLock(), opening.failure};
    sd_bus* bus = opening.bus.get();
    std::string failure;
    MessagePtr call = NewCall(bus,
                              {"org.freedesktop.login1", "/org/freedesktop/login1",
                               "org.freedesktop.login1.Manager", "Inhibit"},
                              failure);
    if (!call) return {InhibitorLock(), failure};
    // A reboot, a power-off or a closed lid would cut a write as surely as sleep does.
    if (const int result = sd_bus_message_append(call.get(), "ssss", kInhibitedWhat, "Torvex ISP",
                                                 why.c_str(), "block");
        result < 0)
        return {InhibitorLock(), linux_backend::SdBusErrnoText(result)};
    MessagePtr reply = Call(bus, call.get(), 0, failure);
    if (!reply) return {InhibitorLock(), failure};
    int fd = -1;
    if (const int result = sd_bus_message_read(reply.get(), "h", &fd); result < 0)
        return {InhibitorLock(), linux_backend::SdBusErrnoText(result)};
    // The reply owns its descriptor; the lock keeps a copy of its own after the reply is gone.
    const int kept = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (kept < 0) return {InhibitorLock(), linux_backend::SdBusErrnoText(-errno)};
    return {InhibitorLock(kept), {}};
}

}  // namespace torvex::desktop
