#pragma once
// The seven firmware blocks the tool carries: their ids, the order start-up looks them up in,
// and the size each must have to serve every slice taken from it. The virtual product's sample
// generator and the tool both read this table; nothing else of the firmware layer is shared.

#include <array>
#include <cstddef>
#include <cstdint>

namespace torvex {

inline constexpr std::uint16_t kBlock134Id = 134;
inline constexpr std::uint16_t kEf64InfoBlockId = 138;
inline constexpr std::uint16_t kEf64ImageGroup1Id = 162;
inline constexpr std::uint16_t kEf64ImageGroup2Id = 163;
inline constexpr std::uint16_t kEf32InfoBlockId = 161;
inline constexpr std::uint16_t kEf32ImageGroup1Id = 156;
inline constexpr std::uint16_t kEf32ImageGroup2Id = 164;

// The order in which start-up looks the blocks up.
inline constexpr std::array<std::uint16_t, 7> kFirmwareBlockLoadOrder = {
    kBlock134Id,      kEf64InfoBlockId,   kEf64ImageGroup1Id, kEf64ImageGroup2Id,
    kEf32InfoBlockId, kEf32ImageGroup1Id, kEf32ImageGroup2Id};

inline constexpr std::size_t kBlock134Size = 256;
inline constexpr std::size_t kInfoBlockSize = 768;
inline constexpr std::size_t kImageBlockSize = 66048;
inline constexpr std::size_t kPreambleLength = 512;  // never sent by a programming step

// Size a block must have to serve every slice taken from it.
constexpr std::size_t RequiredFirmwareBlockSize(std::uint16_t id) {
    switch (id) {
        case kBlock134Id:
            return kBlock134Size;
        case kEf64InfoBlockId:
        case kEf32InfoBlockId:
            return kInfoBlockSize;
        default:
            return kImageBlockSize;
    }
}

}  // namespace torvex
