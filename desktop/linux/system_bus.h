#pragma once
// A D-Bus connection through sd-bus, opened for one exchange and closed after it. The window and
// the runner talk to the desktop's services (udisks2, logind) on the system bus as the user they
// run as; tests point them at a bus of their own.

#include <systemd/sd-bus.h>

#include <cstdint>
#include <string>

#include "device/linux/sd_bus_handles.h"

namespace torvex::desktop {

// The same handles as the helper client's.
using BusPtr = linux_backend::SdBusPtr;
using MessagePtr = linux_backend::SdBusMessagePtr;

// A bus, or why there is none.
struct BusOpening {
    BusPtr bus;
    std::string failure;
};

// `address`: empty for the system bus, else a D-Bus address ("unix:path=/tmp/bus").
BusOpening OpenBus(const std::string& address);

// One method call to a service.
struct MethodCall {
    const char* service;
    const char* object;
    const char* interface;
    const char* method;
};

// A new call message; null when it could not be made (then `failure` says why). The call may
// wait for the operator to authenticate (polkit asks through the desktop's agent).
MessagePtr NewCall(sd_bus* bus, const MethodCall& call, std::string& failure);

// Sends `message` and waits for the reply (`timeout_us` 0: sd-bus's default, 25 s); null on failure
// (then `failure` says why: the error's message, else its name, else the errno text).
MessagePtr Call(sd_bus* bus, sd_bus_message* message, std::uint64_t timeout_us,
                std::string& failure);

}  // namespace torvex::desktop
