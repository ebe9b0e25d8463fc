#pragma once
// Deterministic sample firmware blocks of the ids and sizes the tool carries, in a layout the
// virtual product understands. Built into the tool by default when no vendor blocks are given.

#include <cstdint>
#include <vector>

namespace torvex::sim {

std::vector<std::uint8_t> MakeSampleFirmwareBlock(std::uint16_t id);

}  // namespace torvex::sim
