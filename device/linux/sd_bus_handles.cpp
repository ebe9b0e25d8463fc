#include "device/linux/sd_bus_handles.h"

#include <cstring>

namespace torvex::linux_backend {

std::string SdBusError::Describe(int fallback) const {
    if (!IsSet()) return std::strerror(fallback < 0 ? -fallback : fallback);
    std::string text = error_.name;
    if (error_.message != nullptr && *error_.message != '\0')
        text += std::string(": ") + error_.message;
    return text;
}

}  // namespace torvex::linux_backend
