#pragma once
// Update F/W: opens the product, picks a path by its code and version classes, programs one or
// both banks or sends the product to its OTA code, and ends with success, failure or refusal.

#include "app/tool_context.h"

namespace torvex {

void OnUpdateFw(ToolContext& context);

}  // namespace torvex
