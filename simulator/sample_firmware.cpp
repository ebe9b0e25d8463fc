#include "simulator/sample_firmware.h"

#include "programming/embedded_images.h"

namespace torvex::sim {

std::vector<std::uint8_t> MakeSampleFirmwareBlock(std::uint16_t id) {
    std::vector<std::uint8_t> block(RequiredFirmwareBlockSize(id));
    std::uint32_t x = 0x9E3779B9u ^ id;
    for (auto& b : block) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return block;
}

}  // namespace torvex::sim
