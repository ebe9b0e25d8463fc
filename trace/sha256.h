#pragma once
// SHA-256 (FIPS 180-4), for the digest of the data a traced request sent: a trace stays small,
// and the digest of a firmware slice can be checked with any sha256sum.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace torvex {

std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> bytes);

// The digest as sha256sum prints it: 64 lower-case hex digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace torvex
