#pragma once
// The one-second tick: polls for the product, queries mask code, runs the version checks once
// per product state, enables Update F/W, keeps the picture current, resumes a half-done update
// and times out a replug wait.

#include "app/tool_context.h"

namespace torvex {

void OnReplugTimer(ToolContext& context);

}  // namespace torvex
