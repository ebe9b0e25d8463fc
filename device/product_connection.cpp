#include "device/product_connection.h"

#include <string>

#include "base/text.h"

namespace torvex {

bool ProductConnection::Open(std::u16string_view path, std::u16string_view identity) {
    Close();
    failure_reason_.clear();
    DevicePlatform& platform = transport_.Platform();
    handle_ = platform.OpenExclusive(path);
    if (!IsOpen()) {
        const std::string reason = platform.LastOpenError();
        failure_reason_ =
            ShownSafely(FromUtf8(reason.empty() ? "the system gave no reason" : reason));
        return false;
    }
    if (!identity.empty()) {
        const std::u16string opened = platform.OpenedParentDeviceId(handle_);
        if (opened != identity) {
            Close();
            failure_reason_ = ShownSafely(u"the disk at " + std::u16string(path) + u" is now " +
                                          (opened.empty() ? u"unknown" : opened) +
                                          u", not the product that was found (" +
                                          std::u16string(identity) + u")");
            return false;
        }
    }
    return true;
}

bool ProductConnection::OpenOrReport(std::u16string_view path, std::u16string_view identity) {
    if (Open(path, identity)) return true;
    Log().AppendStatusLine(kOpenFailedLine);
    LogFailureReason();
    return false;
}

void ProductConnection::LogFailureReason() {
    Log().AppendStatusLine(std::u16string(kOpenFailureReasonPrefix) + failure_reason_);
}

void ProductConnection::Close() {
    if (!IsOpen()) return;
    transport_.Platform().Close(handle_);
    handle_ = kInvalidDeviceHandle;
}

bool ProductConnection::Send(const VendorRequest& request) {
    return transport_.SendSCSICommand(handle_, request.cdb, request.data) != 0;
}

void SendIspExecute(ProductConnection& product) {
    product.Send(vendor::Execute());
}

}  // namespace torvex
