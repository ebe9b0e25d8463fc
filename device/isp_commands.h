#pragma once
// The product's vendor SCSI commands. Every block starts with 0xFF and the opcode. One 16-byte
// block serves a whole procedure run: bytes 1..15 are zeroed once, and each step writes only its
// own bytes, so bytes a step leaves alone carry over from the step before and show on the wire.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace torvex {

inline constexpr std::size_t kCommandBlockLength = 16;
inline constexpr std::size_t kExecuteBlockLength = 11;
inline constexpr std::uint8_t kVendorCommandByte = 0xFF;

// Opcodes (byte 1).
inline constexpr std::uint8_t ISP_CMD_MASK_PROBE = 0x44;
inline constexpr std::uint8_t ISP_CMD_SELECT_AES_KEY = 0x62;
inline constexpr std::uint8_t ISP_CMD_INFO_GROUP = 0xA0;  // sub-command in byte 2
inline constexpr std::uint8_t ISP_CMD_ERASE_EF64_MAIN = 0x52;
inline constexpr std::uint8_t ISP_CMD_ERASE_EF64_INFO = 0x53;
inline constexpr std::uint8_t ISP_CMD_CHECK_EF64_MAIN = 0x58;
inline constexpr std::uint8_t ISP_CMD_CHECK_EF64_INFO = 0x59;
inline constexpr std::uint8_t ISP_CMD_JUMP_EF64 = 0x56;
inline constexpr std::uint8_t ISP_CMD_PROGRAM_EF32_0_MAIN = 0x29;
inline constexpr std::uint8_t ISP_CMD_CHECK_EF32_0_MAIN = 0x24;
inline constexpr std::uint8_t ISP_CMD_PROGRAM_EF32_INFO = 0x2A;
inline constexpr std::uint8_t ISP_CMD_CHECK_EF32_INFO = 0x25;
inline constexpr std::uint8_t ISP_CMD_JUMP_EF32 = 0x27;
// The EF64 program opcodes. 0x5A programs main memory for mask code 0210 and OTA code, and the
// information page for protected ISP code: the two sets are never mixed (see IspDialect).
inline constexpr std::uint8_t ISP_CMD_PROGRAM_EF64_MAIN_PROTECT = 0x50;
inline constexpr std::uint8_t ISP_CMD_PROGRAM_EF64_INFO_PROTECT = 0x5A;
inline constexpr std::uint8_t ISP_CMD_PROGRAM_EF64_MAIN = 0x5A;
inline constexpr std::uint8_t ISP_CMD_PROGRAM_EF64_INFO = 0x5B;

// Sub-commands of the FF A0 group (byte 2).
inline constexpr std::uint8_t ISP_CMD_EXECUTE = 0x02;
inline constexpr std::uint8_t ISP_CMD_GET_FW_INFO = 0x04;
inline constexpr std::uint8_t ISP_CMD_GET_EF32_0_INFO = 0x05;
inline constexpr std::uint8_t ISP_CMD_PUT_BINX_HEADER = 0x06;
inline constexpr std::uint8_t ISP_CMD_GET_BINX_INFO = 0x07;

// Key slots of ISP_CMD_SELECT_AES_KEY (byte 2).
inline constexpr std::uint8_t kKeySlotMaskQuery = 0x00;   // answered by mask code 0210 only
inline constexpr std::uint8_t kKeySlotMainMemory = 0x07;  // before image headers and main memory
inline constexpr std::uint8_t kKeySlotInfoPage = 0x1C;    // before information pages

// Bytes 7..15 of the programming commands that carry them.
inline constexpr std::array<std::uint8_t, 9> kProgramGuardBytes = {1, 2, 3, 4, 5, 6, 7, 8, 9};
inline constexpr std::size_t kGuardBytesOffset = 7;

// Data lengths.
inline constexpr std::uint32_t kMaskProbeReplyLength = 128;
inline constexpr std::uint32_t kInfoReplyLength = 64;
inline constexpr std::uint32_t kImageHeaderLength = 2048;
inline constexpr std::uint32_t kMainMemoryLength = 65536;
inline constexpr std::uint32_t kInfoPageLength = 128;

// The two opcode sets of the EF64 procedure. 0x5A programs main memory in one and the
// information page in the other, so they are kept strictly apart.
struct IspDialect {
    std::uint8_t program_main;
    std::uint8_t program_info;
    bool guard_bytes_from_program_main;
    std::u16string_view banner;     // logged before the first step; empty for none
    std::u16string_view jump_line;  // log line of the jump step
};

inline constexpr IspDialect ProtectIspDialect{ISP_CMD_PROGRAM_EF64_MAIN_PROTECT,
                                              ISP_CMD_PROGRAM_EF64_INFO_PROTECT, true, u"",
                                              u"Jump to EFlash"};
inline constexpr IspDialect MaskOtaDialect{ISP_CMD_PROGRAM_EF64_MAIN, ISP_CMD_PROGRAM_EF64_INFO,
                                           false, u"Run Code at Mask0210 or OTA ISP EF64",
                                           u"Jump to EFlash 64*8"};

// The 16-byte block of one procedure run.
class IspCommandBlock {
  public:
    IspCommandBlock() { Restart(); }

    // A new run: FF, then fifteen zero bytes.
    void Restart() {
        bytes_.fill(0);
        bytes_[0] = kVendorCommandByte;
    }

    // Writes byte 1 only.
    void WriteOpcode(std::uint8_t opcode) { bytes_[1] = opcode; }
    // Writes bytes 1 and 2.
    void Write(std::uint8_t opcode, std::uint8_t parameter) {
        bytes_[1] = opcode;
        bytes_[2] = parameter;
    }
    // Writes bytes 1..6: the opcode and the 64 KB chunk number of EF32_0 main memory.
    void WriteChunk(std::uint8_t opcode, std::uint8_t chunk) {
        bytes_[1] = opcode;
        bytes_[2] = chunk;
        for (std::size_t i = 3; i <= 6; ++i) bytes_[i] = 0;
    }
    // Writes bytes 7..15.
    void WriteProgramGuardBytes() {
        for (std::size_t i = 0; i < kProgramGuardBytes.size(); ++i)
            bytes_[kGuardBytesOffset + i] = kProgramGuardBytes[i];
    }

    std::span<const std::uint8_t> Bytes() const { return bytes_; }

  private:
    std::array<std::uint8_t, kCommandBlockLength> bytes_{};
};

// FF A0 02 and eight zero bytes.
constexpr std::array<std::uint8_t, kExecuteBlockLength> IspExecuteCommandBlock() {
    std::array<std::uint8_t, kExecuteBlockLength> block{};
    block[0] = kVendorCommandByte;
    block[1] = ISP_CMD_INFO_GROUP;
    block[2] = ISP_CMD_EXECUTE;
    return block;
}

// Every data-in reply of the product lands at the start of this one process-wide buffer.
inline constexpr std::size_t kSharedDataBufferSize = 66048;

struct SharedDataBuffer {
    std::array<std::uint8_t, kSharedDataBufferSize> bytes{};
    std::uint8_t* data() { return bytes.data(); }
    // The first `length` bytes, where a reply of that length lands.
    std::span<std::uint8_t> Area(std::size_t length) { return std::span(bytes).first(length); }
};

}  // namespace torvex
