#include "app/dialog_core.h"

#include "app/controller_state_update.h"
#include "app/replug_timer.h"
#include "app/update_controller.h"
#include "app/user_messages.h"

namespace torvex {

DialogCore::DialogCore(WindowPort& window, DevicePlatform& platform,
                       const FirmwareBlockStore& blocks)
    : blocks_(blocks), parts_(window, platform) {}

bool DialogCore::OnInitDialog() {
    if (!parts_.state.WriteRefusal.empty()) parts_.log.AppendStatusLine(kSampleFirmwareLine);
    parts_.state.AutoRestart = 0;
    parts_.window.LoadStatusPicture(StatusPicture::Standby);
    parts_.window.ResetProgress();
    parts_.window.EnableUpdateButton(false);

    parts_.state.RunMode = USBFound(parts_.context);
    parts_.state.DeviceFound = FoundAfterDiscovery(parts_.state.RunMode);

    if (LoadEmbeddedImages(blocks_, parts_.window, parts_.images) == LoadOutcome::MissingBlock)
        return false;

    parts_.state.FirmwareAccepted = 1;
    parts_.state.ReplugTicks = 0;
    parts_.state.TimerId = 1;
    // A mask-code product found now is first queried two ticks later.
    parts_.state.MaskPollTicks = 3;
    parts_.state.RestartPending = 0;
    return true;
}

void DialogCore::OnReplugTimer() {
    torvex::OnReplugTimer(parts_.context);
}

void DialogCore::OnUpdateFw() {
    torvex::OnUpdateFw(parts_.context);
}

void DialogCore::OnDeviceChange(std::uint32_t event_type) {
    if (event_type != kDeviceArrival && event_type != kDeviceRemoveComplete) return;
    parts_.state.RunMode = USBFound(parts_.context);
    parts_.state.MaskVariant = MaskCode::Mask0110;
    parts_.state.Ef64VersionClass = Ef64Class::Unchecked;
    parts_.state.Ef32VersionClass = Ef32Class::Unchecked;
    parts_.state.DeviceFound = FoundAfterDiscovery(parts_.state.RunMode);
    if (parts_.state.DeviceFound == 0) parts_.window.EnableUpdateButton(false);
}

void DialogCore::OnBrowseClosed(bool accepted) {
    if (accepted) parts_.state.FirmwareAccepted = 1;
    // Closing the dialog, with or without a file, re-arms the version checks.
    parts_.state.Ef64VersionClass = Ef64Class::Unchecked;
    parts_.state.Ef32VersionClass = Ef32Class::Unchecked;
}

void DialogCore::RefuseWritingSampleFirmware() {
    parts_.state.WriteRefusal = std::u16string(kSampleFirmwareRefusal);
}

void DialogCore::OnTest() {
    SetStatusPicture(parts_.window, StatusPicture::Updating);
}

}  // namespace torvex
