#pragma once
// The firmware blocks compiled into the program (from the directory chosen at configure time).

#include "firmware/embedded_images.h"

namespace torvex {

const FirmwareBlockStore& CompiledFirmwareBlocks();

// True when the build carries the sample blocks of the virtual product's generator instead of a
// vendor's: data a real product cannot use. The programs on real devices then refuse to write a
// product unless the operator allows it.
bool CompiledFirmwareIsSample();

// Whether a program on real devices refuses to write a product: the build carries the sample
// blocks and the operator did not allow them (the runner's --allow-sample-firmware, the windows'
// TORVEX_ALLOW_SAMPLE_FIRMWARE=1). The one place that decides it.
bool RefuseSampleFirmware(bool allowed_by_operator);

// TORVEX_ALLOW_SAMPLE_FIRMWARE=1 in the environment: how an operator allows it for a window.
bool SampleFirmwareAllowedByEnvironment();

}  // namespace torvex
