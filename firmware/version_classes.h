#pragma once
// How the product's firmware compares with the carried images, and which image group it takes.

#include <cstdint>

namespace torvex {

// How the product's EF64 firmware compares with the carried image.
enum class Ef64Class : std::uint8_t { Unchecked = 0, Antique = 1, Old = 2, Current = 3, New = 4 };

// The same for the EF32_0 bank (Old is 3 here, not 2).
enum class Ef32Class : std::uint8_t {
    Unchecked = 0,
    NoCode = 1,
    Protect = 2,
    Old = 3,
    Current = 4,
    New = 5,
};

// Which image group the product takes. Unchecked and Group1 both select the Group_1 images.
enum class ImageGroup : std::uint8_t { Unchecked = 0, Group1 = 1, Group2 = 2 };

}  // namespace torvex
