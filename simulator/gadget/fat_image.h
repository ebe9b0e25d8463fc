#pragma once
// A freshly formatted FAT12 file system (512-byte sectors, no partition table), as the product's
// application code shows its disk: enough for a desktop to recognise and mount it.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace torvex::sim::gadget {

inline constexpr std::size_t kMinFatImageBytes = 64 * 1024;
inline constexpr std::size_t kMaxFatImageBytes = 64 * 1024 * 1024;

// `bytes` is rounded down to whole sectors and kept within the two limits above; `label` is cut
// to 11 characters.
std::vector<std::uint8_t> MakeFatImage(std::size_t bytes, std::string_view label);

}  // namespace torvex::sim::gadget
