#pragma once
// Bytes as hex text and back: command blocks, replies and sense data in traces.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

// Two upper-case digits a byte, no separators: "FFA004".
std::string HexText(std::span<const std::uint8_t> bytes);

// Reads what HexText writes (either case); empty for an odd length or a character that is not a
// hex digit.
std::optional<std::vector<std::uint8_t>> ParseHexText(std::string_view text);

}  // namespace torvex
