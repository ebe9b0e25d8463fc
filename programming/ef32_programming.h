#pragma once
// Writes the EF32_0 bank: main memory and two information pages from the carried blocks, each
// checksummed by the product, then the jump unless the product runs mask code 0210. Returns 1
// when the sequence reached its end, 0 when a step failed.

#include "base/window_port.h"
#include "device/boot_code_query.h"
#include "device/product_connection.h"
#include "firmware/embedded_images.h"

namespace torvex {

int Run_Code_at_EF64_ISP_EF32_0_OTA(ProductConnection& product, WindowPort& window,
                                    BankSlices slices, MaskCode mask_variant);

}  // namespace torvex
