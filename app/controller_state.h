#pragma once
// The state that the window's handlers share. Every handler runs on the one UI thread and keeps
// nothing of its own between messages: all continuity between a click, a tick and a device change
// lives here. Discovery, the boot-code query and the version checks only report what they found;
// app/controller_state_update writes it here. Fields keep the widths the product logic was written
// for (the counters wrap and compare as these types do).

#include <cstdint>
#include <string>

#include "device/boot_code_query.h"
#include "device/product_identity.h"
#include "firmware/version_classes.h"

namespace torvex {

struct ControllerState {
    // --- fields of the main window (zero when the window is created) ---
    std::u16string DevicePath;  // path every device operation opens
    // The parent USB instance id ("USB\VID_vvvv&PID_pppp\serial") of the product DevicePath
    // names. Recorded with DevicePath, RunMode and DeviceVid when discovery opened that product;
    // every later open proves the disk at DevicePath is still this product.
    std::u16string ProductIdentity;
    std::uint16_t RunMode = 0;         // kRunMode*: the product id discovery found last
    std::uint32_t TimerId = 0;         // id of the one-second timer
    std::int32_t AutoRestart = 0;      // ticks left until the timer posts an Update F/W click
    std::uint32_t DeviceFound = 0;     // 1: a product that can be talked to is present
    std::uint32_t AppCodeRunning = 0;  // for vendor 0x2175: 1 application code, 0 OTA code
    std::int8_t MaskPollTicks = 0;     // ticks spent in mask-code mode
    std::uint16_t DeviceVid = 0;       // vendor id of the device found last
    ImageGroup FirmwareGroup = ImageGroup::Unchecked;
    std::uint8_t DutNameMatch = 0;  // 1: the product's firmware name was accepted

    // --- process-wide fields (zero at process start) ---
    MaskCode MaskVariant = MaskCode::Mask0110;
    Ef64Class Ef64VersionClass = Ef64Class::Unchecked;
    Ef32Class Ef32VersionClass = Ef32Class::Unchecked;
    std::uint8_t FirmwareAccepted = 0;  // 1: the timer may enable Update F/W
    std::int8_t PollTicks = 0;          // ticks since the last discovery poll
    std::uint8_t PictureHold = 0;       // ticks during which the timer leaves the picture alone
    std::uint8_t RestartPending = 0;    // 1: resume the update when the product is back in OTA code
    std::int8_t ReplugTicks = 0;        // 0: no replug wait; otherwise ticks of the wait so far

    // --- set once by the program at start-up ---
    // Non-empty: Update F/W writes nothing and ends with this text (a build that carries sample
    // firmware, run on real devices).
    std::u16string WriteRefusal;
};

}  // namespace torvex
