#include "device/linux/sd_bus_handles.h"

#include <cstring>

namespace torvex::linux_backend {

std::string SdBusErrnoText(int result) {
    return std::strerror(result < 0 ? -result : result);
}

std::string DescribeSdBusError(const sd_bus_error& error, int fallback) {
    if (sd_bus_error_is_set(&error) == 0) return SdBusErrnoText(fallback);
    std::string text = error.name;
    if (error.message != nullptr && *error.message != '\0')
        text += std::string(": ") + error.message;
    return text;
}

std::string SdBusError::Describe(int fallback) const {
    return DescribeSdBusError(error_, fallback);
}

std::string SdBusError::Said(int fallback) const {
    if (error_.message != nullptr && *error_.message != '\0') return error_.message;
    if (error_.name != nullptr) return error_.name;
    return SdBusErrnoText(fallback);
}

}  // namespace torvex::linux_backend
