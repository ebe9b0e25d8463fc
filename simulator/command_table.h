#pragma once
// The command blocks the product answers, byte for byte, with the direction flag, the data
// length and the codes in which each is valid. The product decodes a request only by finding it
// here: a block that differs in any byte (carried-over and guard bytes included), in its length,
// direction or data length, or that arrives in a code that does not take it, is refused.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "device/device_platform.h"
#include "simulator/product_mode.h"

namespace torvex::sim {

enum class Command : std::uint8_t {
    MaskProbe,
    SelectKeyMaskQuery,   // slot 0x00
    SelectKeyMainMemory,  // slot 0x07
    SelectKeyInfoPage,    // slot 0x1C
    PutBinxHeader,
    GetBinxInfo,
    GetFwInfo,
    GetEf32Info,
    Execute,
    EraseEf64Main,
    EraseEf64Info,
    ProgramEf64Main,
    CheckEf64Main,
    ProgramEf64Info,
    CheckEf64Info,
    JumpEf64,
    ProgramEf32Main,
    CheckEf32Main,
    ProgramEf32InfoPage0,
    CheckEf32InfoPage0,
    ProgramEf32InfoPage1,
    CheckEf32InfoPage1,
    JumpEf32,
};

// "ISP_CMD_SELECT_AES_KEY 0x1C", "ISP_CMD_PROGRAM_EF32_INFO page 1", ...
std::string_view CommandName(Command command);

// Which EF64 opcode set a block belongs to.
enum class Dialect : std::uint8_t { None, ProtectIsp, MaskOta };

struct AcceptedBlock {
    Command command;
    Dialect dialect;
    std::array<std::uint8_t, 16> bytes;
    std::uint8_t cdb_length;
    DataDirection direction;
    std::uint32_t length;  // 0: no data
    ModeSet modes;         // the codes that answer it
    ModeSet refused_in;    // codes that are sent it but refuse it (mask 0110, key slot 0x00)
};

std::span<const AcceptedBlock> AcceptedBlocks();

enum class Verdict : std::uint8_t {
    Accept,     // valid in this code: the product carries it out
    Refuse,     // a block the product knows, refused in this code as the real product does
    Violation,  // not a valid request to the product in this code: the sender is at fault
};

struct Decoded {
    Verdict verdict = Verdict::Violation;
    const AcceptedBlock* block = nullptr;  // the block whose bytes matched, if any
    std::string reason;                    // why a request is a violation
};

struct RequestShape {
    std::span<const std::uint8_t> cdb;
    DataDirection direction = DataDirection::In;
    std::uint32_t length = 0;
    bool has_buffer = false;  // a buffer for the data phase is given
};

// `check_direction_without_data`: also hold a command without data to its listed direction flag
// (a platform whose pass-through drops the flag when no data moves turns this off).
Decoded DecodeCommand(const RequestShape& request, ProductMode mode,
                      bool check_direction_without_data);

// "FF 62 1C 00 ..." for messages.
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace torvex::sim
