#include "firmware/identity_queries.h"

#include <algorithm>

namespace torvex {

namespace {

// The pass-through reports no residual count: a product that answers with fewer bytes than
// asked, or with CHECK CONDITION and no data, leaves the rest of the buffer as it was, and that
// may be the identity of another bank or of a carried image (which would make an old product
// look current). Zeroed first, whatever does not arrive reads as zero bytes.
std::optional<FirmwareInfoBlock> ReadInfoReply(ProductConnection& product) {
    const std::span<std::uint8_t> area = product.Replies().Area(kInfoReplyLength);
    std::fill(area.begin(), area.end(), std::uint8_t{0});
    if (!product.Send(DataPhase::In(area))) return std::nullopt;
    return FirmwareInfoBlock::FromReply(area);
}

}  // namespace

std::optional<FirmwareInfoBlock> ReadDeviceInformation(ProductConnection& product,
                                                       std::uint8_t info_command) {
    product.Block().Write(ISP_CMD_INFO_GROUP, info_command);
    return ReadInfoReply(product);
}

std::optional<FirmwareInfoBlock> QueryImageInformation(
    ProductConnection& product, std::span<const std::uint8_t> identity_slice) {
    IspCommandBlock& block = product.Block();
    block.Write(ISP_CMD_SELECT_AES_KEY, kKeySlotMainMemory);
    if (!product.Send(DataPhase::In(product.Replies().Area(0)))) return std::nullopt;

    if (identity_slice.size() < kImageHeaderLength) {
        product.Log().AppendStatusLine(kAbsentFirmwareBlockLine);
        return std::nullopt;
    }
    block.Write(ISP_CMD_INFO_GROUP, ISP_CMD_PUT_BINX_HEADER);
    if (!product.Send(DataPhase::Out(identity_slice.first(kImageHeaderLength))))
        return std::nullopt;

    block.Write(ISP_CMD_INFO_GROUP, ISP_CMD_GET_BINX_INFO);
    return ReadInfoReply(product);
}

}  // namespace torvex
