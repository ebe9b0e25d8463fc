#pragma once
// Asks a product in mask-ROM boot code whether it runs variant 0110 or 0210, and counts it as
// found when it answers.

#include "base/tool_context.h"

namespace torvex {

void QueryBootCode(ToolContext& context);

}  // namespace torvex
