#pragma once
// The only command blocks the helper carries: the product's vendor commands, each with the one
// direction, data length and block length it is sent with. Anything else (a READ or WRITE, a
// vendor opcode the product does not have, a known opcode with another length or parameter) is
// refused before it reaches the disk. The table is the helper's own, written from the product's
// command set; it does not trust the client's command builders.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/device_platform.h"

namespace torvex::helper {

struct CommandCheck {
    std::string_view name;  // the command the block is, when allowed
    std::string refusal;    // why the block is refused; empty when allowed
};

CommandCheck CheckCommand(std::span<const std::uint8_t> cdb, DataDirection direction,
                          std::uint32_t length);

}  // namespace torvex::helper
