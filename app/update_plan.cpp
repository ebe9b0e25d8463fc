#include "app/update_plan.h"

namespace torvex {

namespace {

// The timer enables Update F/W only for a product that answered, with an accepted EF64 image.
std::string_view HeldBack(const ControllerState& state) {
    if (state.DeviceFound == 0)
        return state.RunMode == kRunModeMaskCode ? "unknown: no answer to the boot-code query"
                                                 : "unknown: no product found";
    if (state.FirmwareAccepted == 0) return "none: the carried EF64 image is rejected";
    return {};
}

UpdatePath PathOf(const ControllerState& state) {
    if (!state.WriteRefusal.empty()) return UpdatePath::Refused;
    if (state.RunMode == kRunModeMaskCode)
        return state.MaskVariant == MaskCode::Mask0210 ? UpdatePath::MaskCode0210
                                                       : UpdatePath::MaskCode0110;
    if (state.DeviceVid == kVendorAppAndOta && state.DutNameMatch == 1) {
        if (state.AppCodeRunning != 1) return UpdatePath::OtaCode;
        switch (state.Ef64VersionClass) {
            case Ef64Class::Antique:
                return UpdatePath::ApplicationAntique;
            case Ef64Class::Old:
                return UpdatePath::ApplicationOld;
            case Ef64Class::Current:
            case Ef64Class::New:
                return UpdatePath::AlreadyUpdated;
            case Ef64Class::Unchecked:
                break;
        }
        return UpdatePath::ApplicationUnchecked;
    }
    if (state.RunMode == kRunModeProtectIsp) return UpdatePath::ProtectIsp;
    return UpdatePath::OtherCode;
}

}  // namespace

UpdatePlan PlanUpdate(const ControllerState& state) {
    UpdatePlan plan;
    plan.path = PathOf(state);
    plan.group =
        state.FirmwareGroup == ImageGroup::Group2 ? ImageGroup::Group2 : ImageGroup::Group1;
    plan.held_back = HeldBack(state);
    // EF32_0 is written from application code only when its class is known.
    const bool ef32_known = state.Ef32VersionClass != Ef32Class::Unchecked;
    switch (plan.path) {
        case UpdatePath::MaskCode0210:
            plan.ef32 = plan.ef64 = true;
            break;
        case UpdatePath::OtaCode:
            plan.ef64 = true;
            break;
        case UpdatePath::ApplicationAntique:
            plan.ef64_later = true;
            break;
        case UpdatePath::ApplicationOld:
            plan.ef32 = ef32_known;
            plan.ef64_later = ef32_known;
            break;
        case UpdatePath::ApplicationUnchecked:
            plan.ef32 = ef32_known;
            break;
        case UpdatePath::ProtectIsp:
            plan.ef64 = true;
            break;
        default:
            break;
    }
    if (plan.ef64 || plan.ef64_later)
        plan.dialect = plan.path == UpdatePath::ProtectIsp ? &ProtectIspDialect : &MaskOtaDialect;
    return plan;
}

std::string DescribePlan(const UpdatePlan& plan) {
    if (!plan.held_back.empty()) return std::string(plan.held_back);
    switch (plan.path) {
        case UpdatePath::Refused:
            return "none: the firmware this build carries is not written to a real product";
        case UpdatePath::MaskCode0110:
            return "none: mask code 0110 is not supported";
        case UpdatePath::MaskCode0210:
            return "EF32_0 and EF64 in one run";
        case UpdatePath::OtaCode:
        case UpdatePath::ProtectIsp:
            return "EF64 in one run";
        case UpdatePath::ApplicationAntique:
            return "sent to OTA code, then EF64 (EF64 firmware too old to answer)";
        case UpdatePath::ApplicationOld:
            if (!plan.ef32) return "unknown: the EF32_0 firmware could not be read";
            return "EF32_0, then EF64 after the product restarts in OTA code";
        case UpdatePath::ApplicationUnchecked:
            if (!plan.ef32) return "unknown: the EF64 firmware could not be read";
            return "EF32_0 only: the EF64 firmware could not be read";
        case UpdatePath::AlreadyUpdated:
            return "none: already updated";
        case UpdatePath::OtherCode:
            break;
    }
    return "none: not supported (Other Code)";
}

}  // namespace torvex
