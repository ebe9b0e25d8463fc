#pragma once
// The one place that writes into the controller state what the lower layers found: discovery's
// result, the boot-code answer and the version checks' verdicts. The operations below run the
// lower layer with what the state holds, then record its findings at once, before anything else
// runs (in particular before a message box, inside which ticks and device changes arrive).

#include <cstdint>

#include "app/controller_state.h"
#include "app/tool_context.h"
#include "device/boot_code_query.h"
#include "device/usb_found.h"
#include "firmware/check_session.h"
#include "firmware/identity_queries.h"

namespace torvex {

// Listing failed: only the vendor id is cleared. Listed: the run mode, the vendor id and whether
// a product was found are discovery's, the mask-code tick count starts again, and an opened
// product's path and identity replace the previous ones (its name and group are then unknown).
// Without an opened product the previous product's path and identity stay.
void ApplyDiscovery(ControllerState& state, const DiscoveryResult& result);
void ApplyBootCode(ControllerState& state, const BootCodeAnswer& answer);
// Also clears an armed automatic restart: every check ends with it dropped.
void ApplyCheckVerdict(ControllerState& state, const CheckVerdict& verdict);

// Discovery, recorded; returns the run mode it recorded.
std::uint16_t USBFound(ToolContext& context);
// The boot-code query of the product at DevicePath, recorded.
void QueryBootCode(ToolContext& context);

// The version checks on the product at DevicePath, recorded; each returns what it read. A
// rejected EF64 image is also told to the operator: the button is disabled, the path emptied, the
// ending reported and the box shown.
IdentityReading Check_Application_Version_Combine(ToolContext& context);
IdentityReading Check_OTA_Version_at_Application(ToolContext& context);
IdentityReading Check_OTA_Version_at_OTA(ToolContext& context);

}  // namespace torvex
