#include "desktop/linux/system_bus.h"

#include <cstring>

namespace torvex::desktop {

BusOpening OpenBus(const std::string& address) {
    sd_bus* bus = nullptr;
    if (address.empty()) {
        const int result = sd_bus_open_system(&bus);
        if (result < 0) return {nullptr, "no system bus: " + FailureText(nullptr, result)};
        return {BusPtr(bus), {}};
    }
    int result = sd_bus_new(&bus);
    BusPtr owned(bus);
    if (result >= 0) result = sd_bus_set_address(bus, address.c_str());
    if (result >= 0) result = sd_bus_set_bus_client(bus, 1);
    if (result >= 0) result = sd_bus_start(bus);
    if (result < 0) return {nullptr, "no bus at " + address + ": " + FailureText(nullptr, result)};
    return {std::move(owned), {}};
}

MessagePtr NewCall(sd_bus* bus, const MethodCall& call, std::string& failure) {
    sd_bus_message* message = nullptr;
    const int result = sd_bus_message_new_method_call(bus, &message, call.service, call.object,
                                                      call.interface, call.method);
    if (result < 0) {
        failure = FailureText(nullptr, result);
        return nullptr;
    }
    sd_bus_message_set_allow_interactive_authorization(message, 1);
    return MessagePtr(message);
}

MessagePtr Call(sd_bus* bus, sd_bus_message* message, std::uint64_t timeout_us,
                std::string& failure) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call(bus, message, timeout_us, &error, &reply);
    if (result < 0) failure = FailureText(&error, result);
    sd_bus_error_free(&error);
    return MessagePtr(reply);
}

std::string FailureText(const sd_bus_error* error, int result) {
    if (error != nullptr && error->message != nullptr && *error->message != '\0')
        return error->message;
    if (error != nullptr && error->name != nullptr) return error->name;
    return std::strerror(result < 0 ? -result : result);
}

}  // namespace torvex::desktop
