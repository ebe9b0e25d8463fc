#pragma once
// Discovery: finds the product among the present disk interfaces, tells from its USB identity
// which code it runs, records the path every later operation opens, and logs what it found.

#include <cstdint>

#include "app/tool_context.h"

namespace torvex {

// Returns RunMode: the product id of the last matching device that could be opened, or 0.
std::uint16_t USBFound(ToolContext& context);

}  // namespace torvex
