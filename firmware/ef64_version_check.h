#pragma once
// Classes the product's EF64 application firmware against the carried EF64 image, tests its name
// against the two product lines and picks the image group. Runs while application code runs.

#include <array>
#include <cstdint>

#include "firmware/check_session.h"

namespace torvex {

// Required major version of the carried EF64 image.
inline constexpr std::uint8_t kRequiredEf64ImageMajor = 100;

// Device EF64 version numbers that take the Group_2 images; ends with a zero entry.
inline constexpr std::array<std::int32_t, 2> Ef64Group2Versions = {100000, 0};

// Returns what it read (the EF64 bank and the carried EF64 image, read even when it is rejected)
// and what it decided: the EF64 class, the name, the group, or that the image is rejected.
CheckOutcome CheckEf64AtApplication(const CheckContext& context);

}  // namespace torvex
