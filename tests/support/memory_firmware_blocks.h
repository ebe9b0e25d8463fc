#pragma once
// Firmware blocks held in memory, for tests: any id may be left out or given any size.

#include <map>
#include <vector>

#include "firmware/embedded_images.h"

namespace torvex::testing {

class MemoryFirmwareBlocks : public FirmwareBlockStore {
  public:
    // Every block at its required size, each filled with a pattern that tells block and offset
    // apart: byte i of block id is (id + i * 7 + i / 256) & 0xFF.
    static MemoryFirmwareBlocks Patterned();

    Block Find(std::uint16_t id) const override;

    std::map<std::uint16_t, std::vector<std::uint8_t>> blocks;
};

}  // namespace torvex::testing
