#include "device/product_connection.h"

namespace torvex {

bool ProductConnection::Open(std::u16string_view path) {
    Close();
    handle_ = transport_.Platform().OpenExclusive(path);
    return IsOpen();
}

void ProductConnection::OpenOrReport(std::u16string_view path) {
    if (!Open(path)) Log().AppendStatusLine(kOpenFailedLine);
}

void ProductConnection::Close() {
    if (!IsOpen()) return;
    transport_.Platform().Close(handle_);
    handle_ = kInvalidDeviceHandle;
}

bool ProductConnection::Send(std::span<const std::uint8_t> cdb, DataPhase data) {
    return transport_.SendSCSICommand(handle_, cdb, data) != 0;
}

void SendIspExecute(ProductConnection& product) {
    const auto cdb = IspExecuteCommandBlock();
    product.Send(cdb, DataPhase::None(DataDirection::In));
}

}  // namespace torvex
