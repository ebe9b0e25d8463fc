#include "firmware/identity_queries.h"

namespace torvex {

namespace {

// The pass-through reports no residual count: a product that answers with fewer bytes than
// asked, or with CHECK CONDITION and no data, would leave the rest of the buffer as it was, and
// that may be the identity of another bank or of a carried image (which would make an old
// product look current). The information read zeroes its reply area first.
std::optional<FirmwareInfoBlock> ReadInfoReply(ProductConnection& product,
                                               std::uint8_t info_command) {
    const VendorRequest request =
        vendor::ReadInformation(product.Block(), info_command, product.Replies());
    if (!product.Send(request)) return std::nullopt;
    return FirmwareInfoBlock::FromReply(request.data.reply);
}

}  // namespace

std::optional<FirmwareInfoBlock> ReadDeviceInformation(ProductConnection& product,
                                                       std::uint8_t info_command) {
    return ReadInfoReply(product, info_command);
}

std::optional<FirmwareInfoBlock> QueryImageInformation(
    ProductConnection& product, std::span<const std::uint8_t> identity_slice) {
    IspCommandBlock& block = product.Block();
    if (!product.Send(vendor::SelectKey(block, kKeySlotMainMemory, product.Replies())))
        return std::nullopt;

    if (identity_slice.size() < kImageHeaderLength) {
        product.Log().AppendStatusLine(kAbsentFirmwareBlockLine);
        return std::nullopt;
    }
    if (!product.Send(vendor::PutImageHeader(block, identity_slice))) return std::nullopt;
    return ReadInfoReply(product, ISP_CMD_GET_BINX_INFO);
}

}  // namespace torvex
