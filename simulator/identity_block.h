#pragma once
// The product's 64-byte identity record of a bank or an image: tag in bytes 7..10, version in
// 11..14, a 24-character name in 32..55. The product builds it; the tool only reads it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvex::sim {

inline constexpr std::size_t kIdentityLength = 64;
inline constexpr std::size_t kIdentityTagOffset = 7;
inline constexpr std::size_t kIdentityVersionOffset = 11;
inline constexpr std::size_t kIdentityNameOffset = 32;
inline constexpr std::size_t kIdentityNameLength = 24;

using IdentityBlock = std::array<std::uint8_t, kIdentityLength>;
using FourParts = std::array<std::uint8_t, 4>;

// Bytes 0..6, 15..31 and 56..63 are zero; a name shorter than 24 characters is zero-padded,
// a longer one is cut.
IdentityBlock MakeIdentity(FourParts tag, FourParts version, std::string_view name);

FourParts IdentityTag(const IdentityBlock& block);
FourParts IdentityVersion(const IdentityBlock& block);
// The name up to its first zero byte.
std::string IdentityName(const IdentityBlock& block);
// byte11*1000 + byte12*100 + byte13*10 + byte14, the number the tool compares.
std::int32_t IdentityVersionNumber(const IdentityBlock& block);

// An identity block as an erased bank shows it: all 64 bytes 0xFF, or with
// `other_bytes` of them (from offset 0) set to 0x00.
IdentityBlock ErasedIdentity(std::size_t other_bytes = 0);

// The block of a bank that holds the protected ISP code: the 32 signature values at the even
// offsets; the odd offsets hold `odd_filler`.
IdentityBlock ProtectSignatureIdentity(std::uint8_t odd_filler = 0x00);

// Tag required of the EF32_0 bank's block while application code runs.
inline constexpr FourParts kEf32RequiredTag = {7, 8, 9, 10};

}  // namespace torvex::sim
