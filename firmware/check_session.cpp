#include "firmware/check_session.h"

#include "base/controller_state.h"

namespace torvex {

CheckSession::CheckSession(ToolContext& context)
    : context_(context), product_(context.transport, context.shared_buffer) {
    opened_ = product_.OpenOrReport(context.state.DevicePath, context.state.ProductIdentity);
}

void CheckSession::End() {
    if (ended_) return;
    ended_ = true;
    product_.Close();
    context_.state.AutoRestart = 0;
}

}  // namespace torvex
