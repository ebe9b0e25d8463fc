#pragma once
// The 64-byte identity record the product returns for one of its banks or for an image whose
// identity slice it was sent: tag (bytes 7..10), version (11..14), name (32..55). The tool reads
// it only through this view.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/status_log.h"

namespace torvex {

inline constexpr std::size_t kFirmwareInfoBlockLength = 64;
inline constexpr std::size_t kTagOffset = 7;
inline constexpr std::size_t kVersionOffset = 11;
inline constexpr std::size_t kNameOffset = 32;
inline constexpr std::size_t kNameLength = 24;

class FirmwareInfoBlock {
  public:
    // Copies the first 64 bytes of a reply; a shorter reply is padded with zero bytes.
    static FirmwareInfoBlock FromReply(std::span<const std::uint8_t> reply);

    std::uint8_t Byte(std::size_t offset) const { return bytes_.at(offset); }
    const std::array<std::uint8_t, kFirmwareInfoBlockLength>& Bytes() const { return bytes_; }
    std::uint8_t MajorVersion() const { return bytes_[kVersionOffset]; }
    std::span<const std::uint8_t, 4> Tag() const {
        return std::span<const std::uint8_t, 4>(bytes_.data() + kTagOffset, 4);
    }
    std::span<const std::uint8_t, kNameLength> Name() const {
        return std::span<const std::uint8_t, kNameLength>(bytes_.data() + kNameOffset, kNameLength);
    }

  private:
    std::array<std::uint8_t, kFirmwareInfoBlockLength> bytes_{};
};

// byte11*1000 + byte12*100 + byte13*10 + byte14: a weighted sum, so 1.10.0.0 equals 2.0.0.0.
std::int32_t FwVersionNumber(const FirmwareInfoBlock& block);

// Which side a block describes, for its log lines.
enum class InfoBlockSide { Image, DeviceEf64, DeviceEf32 };

// "<side>, Tag: %d.%d.%d.%d,  Version: %d.%d.%d.%d "
std::u16string FormatTagVersionLine(InfoBlockSide side, const FirmwareInfoBlock& block);
// "<side> Name: " and the name's bytes widened, up to the first zero byte.
std::u16string FormatNameLine(InfoBlockSide side, const FirmwareInfoBlock& block);

// Logs the three lines of a block (tag and version, name, "\r") and returns the name line.
std::u16string LogFirmwareInfoBlock(StatusLog& log, InfoBlockSide side,
                                    const FirmwareInfoBlock& block);

// Product-line patterns searched in a formatted device name line.
inline constexpr std::u16string_view kFirstProductLinePattern = u"F_TORVEX_";
inline constexpr std::u16string_view kSecondProductLinePattern = u"F_TORVEXZED_";

// Plain, case-sensitive substring search.
bool NameLineContains(std::u16string_view name_line, std::u16string_view pattern);

}  // namespace torvex
