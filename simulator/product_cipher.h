#pragma once
// The product's stand-in for its AES key slots: a keyed byte stream XORed over the data. Each
// slot has its own key, so data enciphered for one slot and decoded under another (or under no
// slot) comes out as garbage, which the checksums and identity reads then show. The stream
// depends on the byte's offset inside its firmware block, so a slice sent from the wrong offset
// decodes to garbage too.

#include <cstdint>
#include <optional>
#include <span>

namespace torvex::sim {

inline constexpr std::uint8_t kMaskQueryKeySlot = 0x00;
inline constexpr std::uint8_t kMainMemoryKeySlot = 0x07;  // image headers and main memory
inline constexpr std::uint8_t kInfoPageKeySlot = 0x1C;    // information pages

// Enciphers or deciphers (the transform is its own inverse) `bytes`, whose first byte sits at
// `block_offset` of its firmware block. No slot selected is a key of its own.
void ApplyKeystream(std::optional<std::uint8_t> slot, std::size_t block_offset,
                    std::span<std::uint8_t> bytes);

}  // namespace torvex::sim
