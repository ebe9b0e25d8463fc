#pragma once
// The words for why a request was not delivered, as a trace writes them and as the helper's
// replies carry them: one table for both.

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "device/device_platform.h"

namespace torvex {

inline constexpr std::array<std::pair<TransportError, std::string_view>, 6> kTransportErrorNames = {
    {
        {TransportError::None, "none"},
        {TransportError::InvalidHandle, "invalid-handle"},
        {TransportError::PermissionDenied, "permission-denied"},
        {TransportError::NoDevice, "no-device"},
        {TransportError::Timeout, "timeout"},
        {TransportError::Other, "other"},
    }};

inline std::string_view TransportErrorName(TransportError error) {
    for (const auto& [known, name] : kTransportErrorNames)
        if (known == error) return name;
    return "other";
}

inline std::optional<TransportError> TransportErrorNamed(std::string_view name) {
    for (const auto& [known, known_name] : kTransportErrorNames)
        if (known_name == name) return known;
    return std::nullopt;
}

}  // namespace torvex
