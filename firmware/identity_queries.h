#pragma once
// The two ways the tool learns a firmware identity, both answered by the product into the shared
// reply buffer: an information read of one of its banks, and the identity of an image whose
// first 2048 bytes it is sent (after selecting key slot 0x07).

#include <cstdint>
#include <string_view>

#include "app/tool_context.h"
#include "device/isp_commands.h"
#include "firmware/firmware_info_block.h"
#include "programming/embedded_images.h"

namespace torvex {

// Logged instead of sending anything when a firmware block the step needs is absent.
inline constexpr std::u16string_view kAbsentFirmwareBlockLine =
    u"Firmware block not available, nothing sent.";

// ISP_CMD_GET_FW_INFO or ISP_CMD_GET_EF32_0_INFO: 64 bytes into the shared buffer.
bool ReadDeviceInformation(ToolContext& context, DeviceHandle device, IspCommandBlock& block,
                           std::uint8_t info_command);

// ISP_CMD_SELECT_AES_KEY 0x07, ISP_CMD_PUT_BINX_HEADER with the bank's identity slice,
// ISP_CMD_GET_BINX_INFO; each only if the one before succeeded.
bool QueryImageInformation(ToolContext& context, DeviceHandle device, IspCommandBlock& block,
                           Bank bank);

// The block in the shared buffer, as left by the last successful read or query.
FirmwareInfoBlock ReplyInfoBlock(const ToolContext& context);

}  // namespace torvex
