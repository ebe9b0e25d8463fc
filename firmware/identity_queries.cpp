#include "firmware/identity_queries.h"

#include <algorithm>

namespace torvex {

namespace {
std::uint8_t In() {
    return static_cast<std::uint8_t>(DataDirection::In);
}
std::uint8_t Out() {
    return static_cast<std::uint8_t>(DataDirection::Out);
}

// The pass-through reports no residual count: a product that answers with fewer bytes than
// asked, or with CHECK CONDITION and no data, leaves the rest of the buffer as it was, and that
// may be the identity of another bank or of a carried image (which would make an old product
// look current). Zeroed first, whatever does not arrive reads as zero bytes.
void ClearReplyArea(ToolContext& context) {
    std::fill_n(context.shared_buffer.data(), kInfoReplyLength, std::uint8_t{0});
}
}  // namespace

bool ReadDeviceInformation(ToolContext& context, DeviceHandle device, IspCommandBlock& block,
                           std::uint8_t info_command) {
    block.Write(ISP_CMD_INFO_GROUP, info_command);
    ClearReplyArea(context);
    return context.transport.SendSCSICommand(device, context.shared_buffer.data(), nullptr,
                                             kInfoReplyLength, In(), block.data(),
                                             block.size()) != 0;
}

bool QueryImageInformation(ToolContext& context, DeviceHandle device, IspCommandBlock& block,
                           Bank bank) {
    block.Write(ISP_CMD_SELECT_AES_KEY, kKeySlotMainMemory);
    if (context.transport.SendSCSICommand(device, context.shared_buffer.data(), nullptr, 0, In(),
                                          block.data(), block.size()) == 0)
        return false;

    const auto slice = IdentitySlice(context.images, bank);
    if (slice.empty()) {
        context.log.AppendStatusLine(kAbsentFirmwareBlockLine);
        return false;
    }
    block.Write(ISP_CMD_INFO_GROUP, ISP_CMD_PUT_BINX_HEADER);
    if (context.transport.SendSCSICommand(device, nullptr, slice.data(), kImageHeaderLength, Out(),
                                          block.data(), block.size()) == 0)
        return false;

    block.Write(ISP_CMD_INFO_GROUP, ISP_CMD_GET_BINX_INFO);
    ClearReplyArea(context);
    return context.transport.SendSCSICommand(device, context.shared_buffer.data(), nullptr,
                                             kInfoReplyLength, In(), block.data(),
                                             block.size()) != 0;
}

FirmwareInfoBlock ReplyInfoBlock(const ToolContext& context) {
    return FirmwareInfoBlock::FromReply(
        std::span<const std::uint8_t>(context.shared_buffer.bytes.data(), kInfoReplyLength));
}

}  // namespace torvex
