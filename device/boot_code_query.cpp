#include "device/boot_code_query.h"

#include "base/status_log.h"
#include "device/product_connection.h"

namespace torvex {

BootCodeAnswer AskBootCode(DeviceContext& context, ProductAddress address) {
    BootCodeAnswer answer;
    // A failed open goes on without a handle: the probe then fails in the transport and the
    // product is reported as not answering, so the next tick asks again.
    ProductConnection product(context.transport, context.shared_buffer);
    product.OpenOrReport(address.path, address.identity);

    IspCommandBlock& block = product.Block();
    if (product.Send(vendor::MaskProbe(block, product.Replies()))) {
        // Only mask code 0210 knows key slot 0x00; 0110 refuses it.
        if (product.Send(vendor::SelectKey(block, kKeySlotMaskQuery, product.Replies()))) {
            context.log.AppendStatusLine(u"Run Code at Mask Code 0210");
            answer.variant = MaskCode::Mask0210;
        } else {
            context.log.AppendStatusLine(u"Run Code at Mask Code 0110");
            answer.variant = MaskCode::Mask0110;
        }
        answer.answered = true;
    } else {
        context.log.AppendStatusLine(u"Command Fail");
    }
    return answer;
}

}  // namespace torvex
