#pragma once
// Writes the EF32_0 bank: main memory and two information pages from the carried blocks, each
// checksummed by the product, then the jump unless the product runs mask code 0210. Returns 1
// when the sequence reached its end, 0 when a step failed.

#include <cstdint>
#include <span>

#include "app/tool_context.h"

namespace torvex {

int Run_Code_at_EF64_ISP_EF32_0_OTA(ToolContext& context, DeviceHandle device,
                                    std::span<const std::uint8_t> image_block);

}  // namespace torvex
