#pragma once
// What Update F/W does with the product as the controller state describes it: which bank or banks
// it writes, from which image group and in which EF64 opcode set, or why it writes nothing. One
// function decides it; the update controller carries it out and --list prints it.

#include <string>
#include <string_view>

#include "app/controller_state.h"
#include "device/isp_commands.h"

namespace torvex {

// The branches of Update F/W, in the order the controller tells them apart.
enum class UpdatePath : std::uint8_t {
    Refused,               // this build's firmware must not reach the product: nothing is opened
    MaskCode0110,          // not supported
    MaskCode0210,          // EF32_0, then EF64, in one run
    OtaCode,               // EF64 (the second run of an update from application code)
    ApplicationAntique,    // ISP_CMD_EXECUTE: EF64 follows in OTA code
    ApplicationOld,        // EF32_0, whose jump sends the product to OTA code, where EF64 follows
    ApplicationUnchecked,  // the EF64 firmware could not be read: EF32_0 only, nothing follows
    AlreadyUpdated,        // application code with current or newer EF64 firmware
    ProtectIsp,            // EF64 in the protected ISP code's opcode set
    OtherCode,             // not supported
};

struct UpdatePlan {
    UpdatePath path = UpdatePath::OtherCode;
    bool ef32 = false;                      // EF32_0 is written in this run
    bool ef64 = false;                      // EF64 is written in this run
    bool ef64_later = false;                // EF64 is written by the run that resumes in OTA code
    ImageGroup group = ImageGroup::Group1;  // Group1 or Group2: the images written
    const IspDialect* dialect = nullptr;    // the EF64 opcode set, when EF64 is written
    // Why the button stays disabled, so that no click comes (empty: a click runs the plan).
    std::string_view held_back;
};

UpdatePlan PlanUpdate(const ControllerState& state);

// The plan in a few words: "EF32_0 and EF64 in one run", "none: already updated", ...
std::string DescribePlan(const UpdatePlan& plan);

}  // namespace torvex
