#pragma once
// Classes the product's EF32_0 bank: while application code runs (erased bank, protected ISP
// code, tag, version against the carried image), and while OTA code runs (name of the second
// product line, group).

#include <array>
#include <cstdint>

#include "firmware/check_session.h"

namespace torvex {

// A block with this many bytes 0xFF or more is an erased bank.
inline constexpr int kErasedBankThreshold = 63;

// Tag the EF32_0 bank must carry while application code runs.
inline constexpr std::array<std::uint8_t, 4> kRequiredEf32Tag = {7, 8, 9, 10};

// Values expected at the even offsets 0, 2, ..., 62 of a bank that holds protected ISP code.
inline constexpr std::array<std::uint8_t, 32> ProtectSignature = {
    0x90, 0xB0, 0xFB, 0xE0, 0xA3, 0xF9, 0x00, 0x12, 0x97, 0x44, 0x00, 0x20, 0xC2, 0x00, 0x22, 0xF8,
    0x01, 0x24, 0x30, 0x01, 0x26, 0x66, 0x01, 0x28, 0x9A, 0x01, 0x31, 0xCE, 0x01, 0x33, 0x02, 0x02};

// Device EF32_0 version numbers (at OTA) that take the Group_2 images; ends with a zero entry.
inline constexpr std::array<std::int32_t, 2> Ef32Group2Versions = {50000, 0};

// Each returns what it read: at application code the EF32_0 bank and the carried EF32_0 image, at
// OTA code the running (EF32_0) firmware as the bank.
// Each also returns what it decided: the EF32_0 class, the name and (at OTA code) the group.
CheckOutcome CheckEf32AtApplication(const CheckContext& context);
CheckOutcome CheckEf32AtOta(const CheckContext& context);

}  // namespace torvex
