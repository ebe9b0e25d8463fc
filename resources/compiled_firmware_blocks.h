#pragma once
// The firmware blocks compiled into the program (from the directory chosen at configure time).

#include "firmware/embedded_images.h"

namespace torvex {

const FirmwareBlockStore& CompiledFirmwareBlocks();

}  // namespace torvex
