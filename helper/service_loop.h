#pragma once
// Runs the helper on a bus connection: the object on the bus, the well-known name, the event loop.
// Started by the bus on demand, the helper leaves again once no client has held a disk for a
// while: it gives up its name first and answers what had already arrived, so no call is lost.

#include <systemd/sd-bus.h>

#include <chrono>
#include <functional>

#include "helper/authority.h"
#include "helper/descriptor_access.h"

namespace torvex::helper {

struct ServiceOptions {
    std::chrono::seconds idle_exit{60};  // 0: never leave
    std::function<void()> on_ready;      // after the name is owned
};

// The exit status: 0 after an idle exit, 1 when the service could not run.
int RunHelperService(sd_bus* bus, Authority& authority, DescriptorAccess& access,
                     const ServiceOptions& options);

}  // namespace torvex::helper
