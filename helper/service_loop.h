#pragma once
// Runs the helper on a bus connection: the object on the bus, the well-known name, the event loop.
// Started by the bus on demand, the helper leaves again once no client has held a disk for a
// while: it gives up its name first and answers what had already arrived, so no call is lost.
// SIGTERM or SIGINT stops it: the commands under way are answered, every later call hears that
// the helper is leaving, and only then does it give up its name and exit.

#include <systemd/sd-bus.h>

#include <chrono>
#include <functional>

#include "helper/authority.h"
#include "helper/descriptor_access.h"
#include "helper/helper_service.h"

namespace torvex::helper {

struct ServiceOptions {
    std::chrono::milliseconds idle_exit{std::chrono::seconds(60)};  // 0: never leave
    std::function<void()> on_ready;                                 // after the name is owned
    ServiceLimits limits;
};

// The exit status: 0 after an idle exit or a stop signal, 1 when the service could not run.
int RunHelperService(sd_bus* bus, Authority& authority, DescriptorAccess& access,
                     const ServiceOptions& options);

}  // namespace torvex::helper
