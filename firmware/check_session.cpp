#include "firmware/check_session.h"

namespace torvex {

CheckSession::CheckSession(const CheckContext& context)
    : product_(context.device.transport, context.device.shared_buffer) {
    opened_ = product_.OpenOrReport(context.product.path, context.product.identity);
}

void CheckSession::End() {
    if (ended_) return;
    ended_ = true;
    product_.Close();
}

}  // namespace torvex
