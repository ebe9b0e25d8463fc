#pragma once
// The firmware blocks compiled into the program (from the directory chosen at configure time).

#include "firmware/embedded_images.h"

namespace torvex {

const FirmwareBlockStore& CompiledFirmwareBlocks();

// True when the build carries the sample blocks of the virtual product's generator instead of a
// vendor's: data a real product cannot use. The programs on real devices then refuse to write a
// product unless the operator allows it.
bool CompiledFirmwareIsSample();

}  // namespace torvex
