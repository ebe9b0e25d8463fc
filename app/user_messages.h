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
inline constexpr std::u16string_view kAlreadyUpdatedMessage = u"Your device is already updated.";
inline constexpr std::u16string_view kUpdateCompleteLine = u"Updat FW.... Update complete !!";
inline constexpr std::u16string_view kReplugTimeoutLine = u"Updat FW.... FAIL !!(Replug Timeout)";

}  // namespace torvex
