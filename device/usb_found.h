#pragma once
// Discovery: finds the product among the present disk interfaces, tells from its USB identity
// which code it runs, records the path every later operation opens, and logs what it found.

#include <cstdint>

#include "base/controller_state.h"
#include "base/tool_context.h"

namespace torvex {

// Returns RunMode: the product id of the last matching device that could be opened, or 0.
std::uint16_t USBFound(ToolContext& context);

// A product counts as found once discovery saw it in any code but mask code; a mask-code
// product is left to the boot-code query that the timer runs.
constexpr std::uint32_t FoundAfterDiscovery(std::uint16_t run_mode) {
    return run_mode != kRunModeNoDevice && run_mode != kRunModeMaskCode ? 1 : 0;
}

}  // namespace torvex
