#include "firmware/check_session.h"

#include "base/controller_state.h"

namespace torvex {

CheckSession::CheckSession(ToolContext& context)
    : context_(context), product_(context.transport, context.shared_buffer) {
    product_.OpenOrReport(context.state.DevicePath);
}

void CheckSession::End() {
    if (ended_) return;
    ended_ = true;
    product_.Close();
    context_.state.AutoRestart = 0;
}

}  // namespace torvex
