#pragma once
// The words a trace uses for the port's enumerations, one table each way.

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "device/device_platform.h"
#include "device/transport_error_names.h"

namespace torvex {

inline constexpr std::array<std::pair<ListingFailure, std::string_view>, 5> kListingFailureNames = {
    {
        {ListingFailure::None, "none"},
        {ListingFailure::InterfaceSet, "interface-set"},
        {ListingFailure::CompatibleIds, "compatible-ids"},
        {ListingFailure::ParentInstance, "parent-instance"},
        {ListingFailure::ParentDeviceId, "parent-device-id"},
    }};

inline constexpr std::array<std::pair<DataDirection, std::string_view>, 2> kDirectionNames = {{
    {DataDirection::In, "in"},
    {DataDirection::Out, "out"},
}};

template <typename Enum, std::size_t N>
std::string_view NameIn(const std::array<std::pair<Enum, std::string_view>, N>& table, Enum value) {
    for (const auto& [known, name] : table)
        if (known == value) return name;
    return "?";
}

template <typename Enum, std::size_t N>
std::optional<Enum> ValueIn(const std::array<std::pair<Enum, std::string_view>, N>& table,
                            std::string_view name) {
    for (const auto& [known, known_name] : table)
        if (known_name == name) return known;
    return std::nullopt;
}

inline std::string_view ListingFailureName(ListingFailure failure) {
    return NameIn(kListingFailureNames, failure);
}
inline std::string_view DirectionName(DataDirection direction) {
    return NameIn(kDirectionNames, direction);
}

}  // namespace torvex
