#include "simulator/product_cipher.h"

namespace torvex::sim {

namespace {

std::uint32_t KeyMaterial(std::optional<std::uint8_t> slot) {
    if (!slot) return 0xA54FF53Au;
    if (*slot == kMainMemoryKeySlot) return 0x6A09E667u;
    if (*slot == kInfoPageKeySlot) return 0xBB67AE85u;
    return 0x3C6EF372u ^ (static_cast<std::uint32_t>(*slot) * 0x01000193u);
}

std::uint8_t StreamByte(std::uint32_t key, std::size_t offset) {
    std::uint32_t x = key ^ (static_cast<std::uint32_t>(offset) * 0x9E3779B1u);
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    x *= 0xC2B2AE35u;
    x ^= x >> 16;
    return static_cast<std::uint8_t>(x);
}

}  // namespace

void ApplyKeystream(std::optional<std::uint8_t> slot, std::size_t block_offset,
                    std::span<std::uint8_t> bytes) {
    const std::uint32_t key = KeyMaterial(slot);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(bytes[i] ^ StreamByte(key, block_offset + i));
}

}  // namespace torvex::sim
