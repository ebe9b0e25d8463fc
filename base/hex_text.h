#pragma once
// Bytes as hex text and back: command blocks, replies, sense data and digests, in the log, the
// diagnostics and the traces.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

enum class HexDigits : std::uint8_t { Upper, Lower };

// Two digits a byte: "FFA004" (or "ffa004", as sha256sum prints a digest), with `separator`
// between bytes when given: "FF A0 04".
std::string HexText(std::span<const std::uint8_t> bytes, HexDigits digits = HexDigits::Upper,
                    std::string_view separator = {});

// Reads what HexText writes (either case); empty for an odd length or a character that is not a
// hex digit.
std::optional<std::vector<std::uint8_t>> ParseHexText(std::string_view text);

}  // namespace torvex
