#pragma once
// Rewrites the EF64 bank: erase main memory and information page, program both from the carried
// blocks, have the product checksum each, jump to the new code. Two variants differ in opcodes,
// guard bytes and two log lines. Each returns 1 when the jump was sent, 0 when a step failed.

#include "base/window_port.h"
#include "device/product_connection.h"
#include "firmware/embedded_images.h"

namespace torvex {

int Run_Code_at_Mask0210_or_OTA_ISP_EF64(ProductConnection& product, WindowPort& window,
                                         BankSlices slices);
int Run_Code_at_Protect_ISP_EF64(ProductConnection& product, WindowPort& window, BankSlices slices);

}  // namespace torvex
