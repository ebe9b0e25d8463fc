#pragma once
// One builder per vendor command. Each writes only its own bytes into the run's command block
// (the bytes it leaves alone carry over from the step before, as the product expects them) and
// returns the block with the data phase that command takes: its direction, and where its data
// comes from or its reply lands. Nothing else in the tool writes a command block's bytes.

#include <cstdint>
#include <span>

#include "device/isp_commands.h"
#include "device/scsi_transport.h"

namespace torvex {

// A command block and its data phase, ready for the transport.
struct VendorRequest {
    std::span<const std::uint8_t> cdb;
    DataPhase data;
};

// The two areas of a flash bank that are erased, programmed and checked apart.
enum class FlashArea : std::uint8_t { MainMemory, InfoPage };

namespace vendor {

// ISP_CMD_MASK_PROBE: 128 bytes in (answered by mask code only).
VendorRequest MaskProbe(IspCommandBlock& block, SharedDataBuffer& replies);
// ISP_CMD_SELECT_AES_KEY with a key slot: no data, direction in, the reply area named.
VendorRequest SelectKey(IspCommandBlock& block, std::uint8_t slot, SharedDataBuffer& replies);
// ISP_CMD_GET_FW_INFO, ISP_CMD_GET_EF32_0_INFO or ISP_CMD_GET_BINX_INFO: 64 bytes in. The reply
// area is zeroed first: a short or failed read then reads as zero bytes, never as the reply before.
VendorRequest ReadInformation(IspCommandBlock& block, std::uint8_t info_command,
                              SharedDataBuffer& replies);
// ISP_CMD_PUT_BINX_HEADER: the first 2048 bytes of an image out. `identity_slice` holds at least
// that many.
VendorRequest PutImageHeader(IspCommandBlock& block, std::span<const std::uint8_t> identity_slice);
// ISP_CMD_EXECUTE: the 11-byte block of its own, no data, direction in.
VendorRequest Execute();

// EF64, in the opcode set of `dialect`.
VendorRequest EraseEf64(IspCommandBlock& block, FlashArea area, SharedDataBuffer& replies);
VendorRequest ProgramEf64(IspCommandBlock& block, const IspDialect& dialect, FlashArea area,
                          std::span<const std::uint8_t> slice);
VendorRequest CheckEf64(IspCommandBlock& block, FlashArea area, SharedDataBuffer& replies);
VendorRequest JumpEf64(IspCommandBlock& block);

// EF32_0: main memory by 64 KB chunk, information pages by number; the guard bytes go with the
// main-memory program and stay for the rest of the run.
VendorRequest ProgramEf32Main(IspCommandBlock& block, std::uint8_t chunk,
                              std::span<const std::uint8_t> slice);
VendorRequest CheckEf32Main(IspCommandBlock& block, std::uint8_t chunk);
VendorRequest ProgramEf32Info(IspCommandBlock& block, std::uint8_t page,
                              std::span<const std::uint8_t> slice);
VendorRequest CheckEf32Info(IspCommandBlock& block, std::uint8_t page);
// Writes the opcode only: byte 2 keeps the page of the last information-page step.
VendorRequest JumpEf32(IspCommandBlock& block);

}  // namespace vendor

}  // namespace torvex
