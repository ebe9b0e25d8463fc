#include "app/controller_state_update.h"

#include "app/user_messages.h"
#include "base/window_port.h"
#include "firmware/ef32_version_checks.h"
#include "firmware/ef64_version_check.h"

namespace torvex {

namespace {

DeviceContext DeviceOf(ToolContext& context) {
    return DeviceContext{context.log, context.transport, context.shared_buffer};
}

ProductAddress AddressOf(const ControllerState& state) {
    return ProductAddress{state.DevicePath, state.ProductIdentity};
}

CheckContext CheckContextOf(ToolContext& context) {
    const ControllerState& state = context.state;
    return CheckContext{DeviceOf(context), context.images, AddressOf(state),
                        state.DutNameMatch == 1, state.FirmwareGroup};
}

IdentityReading Recorded(ToolContext& context, const CheckOutcome& result) {
    ApplyCheckVerdict(context.state, result.verdict);
    if (result.verdict.image_rejected) {
        WindowPort& window = context.window;
        window.EnableUpdateButton(false);
        window.ClearFirmwarePath();
        window.ReportRunEnding(RunEnding::FirmwareRejected);
        window.ShowMessageBox(kFirmwareRejectedMessage);
    }
    return result.read;
}

}  // namespace

void ApplyDiscovery(ControllerState& state, const DiscoveryResult& result) {
    state.DeviceVid = result.vid;
    state.RunMode = result.run_mode;
    if (!result.listed) return;
    state.AppCodeRunning = result.app_code_running ? 1 : 0;
    state.DeviceFound = result.device_found ? 1 : 0;
    state.MaskPollTicks = 0;
    if (result.opened) {
        state.DevicePath = result.opened->path;
        state.ProductIdentity = result.opened->identity;
        state.DutNameMatch = 0;
        state.FirmwareGroup = ImageGroup::Unchecked;
    }
}

void ApplyBootCode(ControllerState& state, const BootCodeAnswer& answer) {
    if (!answer.answered) {
        state.DeviceFound = 0;
        return;
    }
    state.MaskVariant = answer.variant;
    state.DutNameMatch = 1;
    state.DeviceFound = 1;
}

void ApplyCheckVerdict(ControllerState& state, const CheckVerdict& verdict) {
    if (verdict.image_rejected) {
        state.FirmwareAccepted = 0;
        state.Ef64VersionClass = Ef64Class::Unchecked;
        state.Ef32VersionClass = Ef32Class::Unchecked;
    }
    if (verdict.ef64) state.Ef64VersionClass = *verdict.ef64;
    if (verdict.ef32) state.Ef32VersionClass = *verdict.ef32;
    if (verdict.name_matched) state.DutNameMatch = *verdict.name_matched ? 1 : 0;
    if (verdict.group) state.FirmwareGroup = *verdict.group;
    state.AutoRestart = 0;
}

std::uint16_t USBFound(ToolContext& context) {
    DeviceContext device = DeviceOf(context);
    ApplyDiscovery(context.state, DiscoverProduct(device));
    return context.state.RunMode;
}

void QueryBootCode(ToolContext& context) {
    DeviceContext device = DeviceOf(context);
    ApplyBootCode(context.state, AskBootCode(device, AddressOf(context.state)));
}

IdentityReading Check_Application_Version_Combine(ToolContext& context) {
    return Recorded(context, CheckEf64AtApplication(CheckContextOf(context)));
}

IdentityReading Check_OTA_Version_at_Application(ToolContext& context) {
    return Recorded(context, CheckEf32AtApplication(CheckContextOf(context)));
}

IdentityReading Check_OTA_Version_at_OTA(ToolContext& context) {
    return Recorded(context, CheckEf32AtOta(CheckContextOf(context)));
}

}  // namespace torvex
