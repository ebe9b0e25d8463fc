#pragma once
// The two ways the tool learns a firmware identity, both answered by the product into the shared
// reply buffer: an information read of one of its banks, and the identity of an image whose
// first 2048 bytes it is sent (after selecting key slot 0x07). Each returns the 64-byte block the
// product answered, or nothing when a command failed.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "device/product_connection.h"
#include "firmware/firmware_info_block.h"

namespace torvex {

// The identities one check read: its product's bank and the carried image it compared with (each
// empty when the check did not get that far or the read failed).
struct IdentityReading {
    std::optional<FirmwareInfoBlock> bank;
    std::optional<FirmwareInfoBlock> image;
};

// Logged instead of sending anything when a firmware block the step needs is absent.
inline constexpr std::u16string_view kAbsentFirmwareBlockLine =
    u"Firmware block not available, nothing sent.";

// ISP_CMD_GET_FW_INFO or ISP_CMD_GET_EF32_0_INFO: 64 bytes into the shared buffer.
std::optional<FirmwareInfoBlock> ReadDeviceInformation(ProductConnection& product,
                                                       std::uint8_t info_command);

// ISP_CMD_SELECT_AES_KEY 0x07, ISP_CMD_PUT_BINX_HEADER with the image's identity slice,
// ISP_CMD_GET_BINX_INFO; each only if the one before succeeded. An empty slice (an absent block)
// (or one too short) is logged after the key selection and nothing more is sent.
std::optional<FirmwareInfoBlock> QueryImageInformation(
    ProductConnection& product, std::span<const std::uint8_t> identity_slice);

}  // namespace torvex
