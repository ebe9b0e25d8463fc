#include "tests/support/memory_firmware_blocks.h"

namespace torvex::testing {

MemoryFirmwareBlocks MemoryFirmwareBlocks::Patterned() {
    MemoryFirmwareBlocks store;
    for (std::uint16_t id : kFirmwareBlockLoadOrder) {
        std::vector<std::uint8_t> bytes(RequiredFirmwareBlockSize(id));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>((id + i * 7 + i / 256) & 0xFF);
        store.blocks[id] = std::move(bytes);
    }
    return store;
}

FirmwareBlockStore::Block MemoryFirmwareBlocks::Find(std::uint16_t id) const {
    const auto it = blocks.find(id);
    if (it == blocks.end()) return {};
    return {Lookup::Found, std::span<const std::uint8_t>(it->second)};
}

}  // namespace torvex::testing
