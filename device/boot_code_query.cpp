#include "device/boot_code_query.h"

#include "device/isp_commands.h"

namespace torvex {

namespace {
constexpr std::uint8_t kDataIn = static_cast<std::uint8_t>(DataDirection::In);
}  // namespace

void QueryBootCode(ToolContext& context) {
    ControllerState& state = context.state;
    // A failed open goes on with the invalid handle: the probe then fails in the transport and
    // the product is reported as not answering.
    const DeviceHandle device = context.platform().OpenExclusive(state.DevicePath);
    if (device == kInvalidDeviceHandle) context.log.AppendStatusLine(u"Open USB device failed.");

    IspCommandBlock block;
    block.WriteOpcode(ISP_CMD_MASK_PROBE);
    const int probe = context.transport.SendSCSICommand(device, context.shared_buffer.data(),
                                                        nullptr, kMaskProbeReplyLength, kDataIn,
                                                        block.data(), block.size());
    if (probe == 1) {
        // Only mask code 0210 knows key slot 0x00; 0110 refuses it.
        block.Write(ISP_CMD_SELECT_AES_KEY, kKeySlotMaskQuery);
        const int key = context.transport.SendSCSICommand(
            device, context.shared_buffer.data(), nullptr, 0, kDataIn, block.data(), block.size());
        if (key == 1) {
            context.log.AppendStatusLine(u"Run Code at Mask Code 0210");
            state.MaskVariant = kMask0210;
        } else {
            context.log.AppendStatusLine(u"Run Code at Mask Code 0110");
            state.MaskVariant = kMask0110;
        }
        state.DutNameMatch = 1;
        state.DeviceFound = 1;
    } else {
        state.DeviceFound = 0;
        context.log.AppendStatusLine(u"Command Fail");
    }

    if (device != kInvalidDeviceHandle) context.platform().Close(device);
}

}  // namespace torvex
