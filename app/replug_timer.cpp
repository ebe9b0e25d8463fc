#include "app/replug_timer.h"

#include "app/controller_state.h"
#include "app/controller_state_update.h"
#include "app/user_messages.h"
#include "base/status_log.h"
#include "base/window_port.h"

namespace torvex {

namespace {

constexpr std::int8_t kPollEveryTicks = 10;  // discovery runs when the count passes this
constexpr std::int8_t kMaskQueryAfterTicks = 5;
constexpr std::int8_t kReplugTimeoutTicks = 40;
constexpr std::int32_t kAutoRestartTicks = 2;

std::int8_t Incremented(std::int8_t value) {
    return static_cast<std::int8_t>(value + 1);
}

// Runs the checks that the product's code and the classes still unset call for.
void RunVersionChecks(ToolContext& context) {
    ControllerState& state = context.state;
    if (state.DeviceVid != kVendorAppAndOta) return;
    if (state.AppCodeRunning == 1) {
        state.RestartPending = 0;  // back in application code: nothing to resume
        if (state.Ef64VersionClass == Ef64Class::Unchecked) {
            Check_Application_Version_Combine(context);
            if (state.Ef64VersionClass > Ef64Class::Antique)
                Check_OTA_Version_at_Application(context);
        }
    } else if (state.Ef32VersionClass == Ef32Class::Unchecked) {
        Check_OTA_Version_at_OTA(context);
    }
}

// Steps 2 and 3: look for the product while none is found; with one present, run the checks,
// set the button and count down an armed restart.
void SuperviseProduct(ToolContext& context) {
    ControllerState& state = context.state;
    WindowPort& window = context.window;
    if (state.DeviceFound == 0) {
        if (state.PollTicks > kPollEveryTicks) {
            state.PollTicks = 0;
            USBFound(context);
            state.DeviceFound = FoundAfterDiscovery(state.RunMode);
            if (state.DeviceFound == 0) window.EnableUpdateButton(false);
        }
        if (state.DeviceFound == 0) return;
    }

    state.PollTicks = 0;
    if (state.FirmwareAccepted == 1) {
        RunVersionChecks(context);
        // A check may have rejected the firmware meanwhile.
        window.EnableUpdateButton(state.FirmwareAccepted == 1);
    }
    if (state.FirmwareAccepted == 0) window.EnableUpdateButton(false);

    if (state.AutoRestart != 0) {
        window.EnableUpdateButton(false);
        state.AutoRestart = state.AutoRestart - 1;
        if (state.AutoRestart == 0) window.PostUpdateClick();
    }
}

void PollMaskCode(ToolContext& context) {
    ControllerState& state = context.state;
    if (state.RunMode != kRunModeMaskCode) {
        state.MaskPollTicks = 0;
    } else if (state.MaskPollTicks >= kMaskQueryAfterTicks) {
        state.MaskPollTicks = kMaskQueryAfterTicks;
        if (state.DeviceFound == 0) QueryBootCode(context);
    }
}

void ArmRestartWhenBackInOta(ToolContext& context) {
    ControllerState& state = context.state;
    if (state.RestartPending == 1 && state.DeviceFound == 1 && state.AppCodeRunning == 0) {
        state.AutoRestart = kAutoRestartTicks;
        context.window.EnableUpdateButton(false);
        state.RestartPending = 0;
    }
}

void ReplugTimeout(ToolContext& context) {
    ControllerState& state = context.state;
    state.AutoRestart = 0;
    state.ReplugTicks = 0;
    context.log.AppendStatusLine(kReplugTimeoutLine);
    SetStatusPicture(context.window, StatusPicture::Fail);
    context.window.ResetProgress();
    state.PictureHold = 5;
    context.window.ReportRunEnding(RunEnding::ReplugTimeout);
    context.window.ShowMessageBox(kReconnectMessage);
}

// Step 7: the replug wait and the picture, when no ending holds the picture.
void UpdatePictureAndReplugWait(ToolContext& context) {
    ControllerState& state = context.state;
    if (state.ReplugTicks != 0) {
        state.ReplugTicks = Incremented(state.ReplugTicks);
        context.window.LoadStatusPicture(StatusPicture::Updating);
        // The time-out shows FAIL and holds it; Ready/Standby must not replace it at once.
        if (state.ReplugTicks >= kReplugTimeoutTicks) ReplugTimeout(context);
    } else {
        const bool ready = state.DeviceFound == 1 && state.DutNameMatch == 1;
        context.window.LoadStatusPicture(ready ? StatusPicture::Ready : StatusPicture::Standby);
    }
    context.window.InvalidateStatusPicture();
}

}  // namespace

void OnReplugTimer(ToolContext& context) {
    ControllerState& state = context.state;
    state.PollTicks = Incremented(state.PollTicks);
    state.MaskPollTicks = Incremented(state.MaskPollTicks);

    SuperviseProduct(context);
    PollMaskCode(context);
    ArmRestartWhenBackInOta(context);

    if (state.PictureHold != 0) {
        state.PictureHold = static_cast<std::uint8_t>(state.PictureHold - 1);
        return;
    }
    UpdatePictureAndReplugWait(context);
}

}  // namespace torvex
