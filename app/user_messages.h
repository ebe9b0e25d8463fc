#pragma once
// The texts with which a run ends: message boxes the operator must answer and the two closing
// lines.

#include <string_view>

namespace torvex {

inline constexpr std::u16string_view kReconnectMessage =
    u"Please disconnect and reconnect the device to your PC, \r\ntry the update again.";
inline constexpr std::u16string_view kNotSupportedMessage =
    u"Your device's current firmware is not supported to update. \r\nPlease return the product "
    u"to manufacturer.";
inline constexpr std::u16string_view kFirmwareRejectedMessage =
    u"Firmware file(Binx) is not supported,\r\nPlease select another file.";
inline constexpr std::u16string_view kAlreadyUpdatedMessage = u"Your device is already updated.";
inline constexpr std::u16string_view kUpdateCompleteLine = u"Updat FW.... Update complete !!";
inline constexpr std::u16string_view kReplugTimeoutLine = u"Updat FW.... FAIL !!(Replug Timeout)";

// A build that carries the virtual product's sample firmware, run on real devices.
inline constexpr std::u16string_view kSampleFirmwareLine =
    u"This build carries sample firmware, which a real product cannot use: it writes nothing to "
    u"a product.";
inline constexpr std::u16string_view kSampleFirmwareRefusal =
    u"Update refused: this build carries sample firmware, not the product's.\r\nNothing was "
    u"written. Use a build made with the vendor's firmware blocks.";

}  // namespace torvex
