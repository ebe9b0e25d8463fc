#pragma once
// Asks a product in mask-ROM boot code whether it runs variant 0110 or 0210.

#include <cstdint>

#include "device/device_context.h"

namespace torvex {

// Which mask-ROM boot code a product in mask code runs.
enum class MaskCode : std::uint8_t { Mask0110 = 0, Mask0210 = 1 };

struct BootCodeAnswer {
    bool answered = false;  // the product answered the probe (it is found)
    MaskCode variant = MaskCode::Mask0110;
};

BootCodeAnswer AskBootCode(DeviceContext& context, ProductAddress product);

}  // namespace torvex
