#include "app/dialog_core.h"

#include "app/replug_timer.h"
#include "app/update_controller.h"
#include "device/usb_found.h"

namespace torvex {

namespace {
// A product counts as found once discovery saw it in any code but mask code; a mask-code
// product is left to the boot-code query that the timer runs.
std::uint32_t FoundAfterDiscovery(std::uint16_t run_mode) {
    return run_mode != kRunModeNoDevice && run_mode != kRunModeMaskCode ? 1 : 0;
}
}  // namespace

DialogCore::DialogCore(WindowPort& window, DevicePlatform& platform,
                       const FirmwareBlockStore& blocks)
    : window_(window),
      blocks_(blocks),
      log_(window),
      transport_(log_, platform),
      context_{state_, window_, log_, transport_, shared_buffer_, images_} {}

bool DialogCore::OnInitDialog() {
    state_.AutoRestart = 0;
    window_.LoadStatusPicture(StatusPicture::Standby);
    window_.ResetProgress();
    window_.EnableUpdateButton(false);

    state_.RunMode = USBFound(context_);
    state_.DeviceFound = FoundAfterDiscovery(state_.RunMode);

    if (LoadEmbeddedImages(blocks_, window_, images_) == LoadOutcome::MissingBlock) return false;

    state_.FirmwareAccepted = 1;
    state_.ReplugTicks = 0;
    state_.TimerId = 1;
    // A mask-code product found now is first queried two ticks later.
    state_.MaskPollTicks = 3;
    state_.RestartPending = 0;
    return true;
}

void DialogCore::OnReplugTimer() { torvex::OnReplugTimer(context_); }

void DialogCore::OnUpdateFw() { torvex::OnUpdateFw(context_); }

void DialogCore::OnDeviceChange(std::uint32_t event_type) {
    if (event_type != kDeviceArrival && event_type != kDeviceRemoveComplete) return;
    state_.RunMode = USBFound(context_);
    state_.MaskVariant = kMask0110;
    state_.Ef64VersionClass = kEf64Unchecked;
    state_.Ef32VersionClass = kEf32Unchecked;
    state_.DeviceFound = FoundAfterDiscovery(state_.RunMode);
    if (state_.DeviceFound == 0) window_.EnableUpdateButton(false);
}

void DialogCore::OnBrowseClosed(bool accepted) {
    if (accepted) state_.FirmwareAccepted = 1;
    // Closing the dialog, with or without a file, re-arms the version checks.
    state_.Ef64VersionClass = kEf64Unchecked;
    state_.Ef32VersionClass = kEf32Unchecked;
}

void DialogCore::OnTest() { SetStatusPicture(window_, StatusPicture::Updating); }

}  // namespace torvex
