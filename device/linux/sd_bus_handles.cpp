#include "device/linux/sd_bus_handles.h"

#include <cstring>

namespace torvex::linux_backend {

std::string SdBusErrnoText(int result) {
    return std::strerror(result < 0 ? -result : result);
}

std::string SdBusError::Describe(int fallback) const {
    if (!IsSet()) return SdBusErrnoText(fallback);
    std::string text = error_.name;
    if (error_.message != nullptr && *error_.message != '\0')
        text += std::string(": ") + error_.message;
    return text;
}

std::string SdBusError::Said(int fallback) const {
    if (error_.message != nullptr && *error_.message != '\0') return error_.message;
    if (error_.name != nullptr) return error_.name;
    return SdBusErrnoText(fallback);
}

}  // namespace torvex::linux_backend
