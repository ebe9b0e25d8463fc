#pragma once
// How firmware sits inside the product's banks and inside the blocks the tool carries, in plain
// (deciphered) form. Only the product side knows this; the tool treats the blocks as opaque.
//
// Main memory (64 KiB, one per bank):
//   0..511        start-up code (filler)
//   512..575      identity record of the firmware (what the bank reports)
//   576..65519    code (filler)
//   65520..65523  "TVXM"
//   65524         bank code (0x64 EF64, 0x32 EF32_0)
//   65525         image group (1 or 2)
//   65526..65531  zero
//   65532..65535  CRC-32 of bytes 0..65531, little-endian
// Information page (128 bytes): "TVXI", bank code, settings (filler) up to 123, CRC-32 of
// bytes 0..123 in 124..127.
// Image block preamble (512 bytes, only ever sent inside the 2048-byte identity slice):
// "TVXH", bank code, group, zero, then the identity record at 64..127.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "simulator/identity_block.h"

namespace torvex::sim {

inline constexpr std::size_t kMainMemorySize = 65536;
inline constexpr std::size_t kInfoPageSize = 128;
inline constexpr std::size_t kBlockPreambleSize = 512;
inline constexpr std::size_t kIdentitySliceSize = 2048;
inline constexpr std::size_t kMainIdentityOffset = 512;
inline constexpr std::size_t kHeaderIdentityOffset = 64;
inline constexpr std::size_t kMainTrailerOffset = 65520;
inline constexpr std::size_t kMainCrcOffset = 65532;
inline constexpr std::size_t kInfoCrcOffset = 124;

enum class BankCode : std::uint8_t { Ef64 = 0x64, Ef32_0 = 0x32 };

// What a checksum found.
enum class ImageCheck : std::uint8_t {
    Good,
    NoImage,          // the marker is missing: erased, garbage, or deciphered with the wrong key
    WrongBank,        // an image built for the other bank
    ChecksumMismatch  // marker right, contents differ from what the image carries
};

std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// A plain main-memory image: deterministic filler from `seed`, the identity, a valid trailer.
std::vector<std::uint8_t> BuildMainImage(BankCode bank, std::uint8_t group,
                                         const IdentityBlock& identity, std::uint32_t seed);
// Rewrites the identity of a plain main-memory image and its CRC.
void SetMainIdentity(std::span<std::uint8_t> main, const IdentityBlock& identity);
ImageCheck CheckMainImage(std::span<const std::uint8_t> main, BankCode bank);
IdentityBlock MainIdentity(std::span<const std::uint8_t> main);

std::array<std::uint8_t, kInfoPageSize> BuildInfoPage(BankCode bank, std::uint32_t seed);
ImageCheck CheckInfoPage(std::span<const std::uint8_t> page, BankCode bank);

std::array<std::uint8_t, kBlockPreambleSize> BuildPreamble(BankCode bank, std::uint8_t group,
                                                           const IdentityBlock& identity,
                                                           std::uint32_t seed);
// The identity record of a deciphered identity slice (whatever its bytes are).
IdentityBlock HeaderIdentity(std::span<const std::uint8_t> slice);

// Deterministic filler bytes.
void FillPseudoRandom(std::span<std::uint8_t> bytes, std::uint32_t seed);

}  // namespace torvex::sim
