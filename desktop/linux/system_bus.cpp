#include "desktop/linux/system_bus.h"

namespace torvex::desktop {

BusOpening OpenBus(const std::string& address) {
    sd_bus* bus = nullptr;
    if (address.empty()) {
        const int result = sd_bus_open_system(&bus);
        if (result < 0) return {nullptr, "no system bus: " + linux_backend::SdBusErrnoText(result)};
        return {BusPtr(bus), {}};
    }
    int result = sd_bus_new(&bus);
    BusPtr owned(bus);
    if (result >= 0) result = sd_bus_set_address(bus, address.c_str());
    if (result >= 0) result = sd_bus_set_bus_client(bus, 1);
    if (result >= 0) result = sd_bus_start(bus);
    if (result < 0)
        return {nullptr, "no bus at " + address + ": " + linux_backend::SdBusErrnoText(result)};
    return {std::move(owned), {}};
}

MessagePtr NewCall(sd_bus* bus, const MethodCall& call, std::string& failure) {
    sd_bus_message* message = nullptr;
    const int result = sd_bus_message_new_method_call(bus, &message, call.service, call.object,
                                                      call.interface, call.method);
    if (result < 0) {
        failure = linux_backend::SdBusErrnoText(result);
        return nullptr;
    }
    sd_bus_message_set_allow_interactive_authorization(message, 1);
    return MessagePtr(message);
}

MessagePtr Call(sd_bus* bus, sd_bus_message* message, std::uint64_t timeout_us,
                std::string& failure) {
    linux_backend::SdBusError error;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call(bus, message, timeout_us, error.get(), &reply);
    if (result < 0) failure = error.Said(result);
    return MessagePtr(reply);
}

}  // namespace torvex::desktop
