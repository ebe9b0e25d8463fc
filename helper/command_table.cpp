#include "helper/command_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "device/isp_commands.h"

namespace torvex::helper {
namespace {

// What bytes 7..15 may hold: zeros, the programming guard bytes 01..09, or either (a command the
// product gets in both opcode sets).
enum class Tail : std::uint8_t { Zero, Guard, Either };

struct AllowedCommand {
    std::string_view name;
    std::uint8_t opcode;                // byte 1
    std::array<std::int16_t, 3> byte2;  // allowed values of byte 2; -1 ends the list
    std::size_t block_length;           // 16, or 11 for ISP_CMD_EXECUTE
    DataDirection direction;
    std::uint32_t length;  // data bytes; 0: none
    Tail tail;
};

constexpr DataDirection In = DataDirection::In;
constexpr DataDirection Out = DataDirection::Out;
constexpr std::size_t kBlock = kCommandBlockLength;

// Byte 0 is 0xFF in every block and bytes 3..6 are zero; the rows give the rest.
constexpr std::array<AllowedCommand, 21> kAllowed = {{
    {"ISP_CMD_MASK_PROBE", 0x44, {0x00, -1, -1}, kBlock, In, kMaskProbeReplyLength, Tail::Zero},
    {"ISP_CMD_SELECT_AES_KEY",
     0x62,
     {kKeySlotMaskQuery, kKeySlotMainMemory, kKeySlotInfoPage},
     kBlock,
     In,
     0,
     Tail::Either},
    {"ISP_CMD_PUT_BINX_HEADER", 0xA0, {0x06, -1, -1}, kBlock, Out, kImageHeaderLength, Tail::Zero},
    {"ISP_CMD_GET_BINX_INFO", 0xA0, {0x07, -1, -1}, kBlock, In, kInfoReplyLength, Tail::Zero},
    {"ISP_CMD_GET_FW_INFO", 0xA0, {0x04, -1, -1}, kBlock, In, kInfoReplyLength, Tail::Zero},
    {"ISP_CMD_GET_EF32_0_INFO", 0xA0, {0x05, -1, -1}, kBlock, In, kInfoReplyLength, Tail::Zero},
    {"ISP_CMD_EXECUTE", 0xA0, {0x02, -1, -1}, kExecuteBlockLength, In, 0, Tail::Zero},
    {"ISP_CMD_ERASE_EF64_MAIN", 0x52, {0x00, -1, -1}, kBlock, In, 0, Tail::Zero},
    {"ISP_CMD_ERASE_EF64_INFO", 0x53, {0x00, -1, -1}, kBlock, In, 0, Tail::Zero},
    // Protected ISP code: 0x50 programs main memory, 0x5A the information page.
    {"ISP_CMD_PROGRAM_EF64_MAIN",
     0x50,
     {0x00, -1, -1},
     kBlock,
     Out,
     kMainMemoryLength,
     Tail::Guard},
    {"ISP_CMD_PROGRAM_EF64_INFO", 0x5A, {0x00, -1, -1}, kBlock, Out, kInfoPageLength, Tail::Guard},
    // Mask code 0210 and OTA code: 0x5A programs main memory, 0x5B the information page.
    {"ISP_CMD_PROGRAM_EF64_MAIN", 0x5A, {0x00, -1, -1}, kBlock, Out, kMainMemoryLength, Tail::Zero},
    {"ISP_CMD_PROGRAM_EF64_INFO", 0x5B, {0x00, -1, -1}, kBlock, Out, kInfoPageLength, Tail::Zero},
    {"ISP_CMD_CHECK_EF64_MAIN", 0x58, {0x00, -1, -1}, kBlock, In, 0, Tail::Either},
    {"ISP_CMD_CHECK_EF64_INFO", 0x59, {0x00, -1, -1}, kBlock, In, 0, Tail::Either},
    {"ISP_CMD_JUMP_EF64", 0x56, {0x00, -1, -1}, kBlock, Out, 0, Tail::Either},
    {"ISP_CMD_PROGRAM_EF32_0_MAIN",
     0x29,
     {0x00, -1, -1},
     kBlock,
     Out,
     kMainMemoryLength,
     Tail::Guard},
    {"ISP_CMD_CHECK_EF32_0_MAIN", 0x24, {0x00, -1, -1}, kBlock, Out, 0, Tail::Guard},
    {"ISP_CMD_PROGRAM_EF32_INFO",
     0x2A,
     {0x00, 0x01, -1},
     kBlock,
     Out,
     kInfoPageLength,
     Tail::Guard},
    {"ISP_CMD_CHECK_EF32_INFO", 0x25, {0x00, 0x01, -1}, kBlock, Out, 0, Tail::Guard},
    {"ISP_CMD_JUMP_EF32", 0x27, {0x01, -1, -1}, kBlock, Out, 0, Tail::Guard},
}};

constexpr std::size_t kFirstTailByte = 7;
constexpr std::array<std::uint8_t, 9> kGuardTail = {1, 2, 3, 4, 5, 6, 7, 8, 9};

std::string Hex(unsigned value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

bool AllZero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// Bytes 7 to the end; every allowed block is longer than 7 bytes.
bool TailFits(std::span<const std::uint8_t> cdb, Tail tail) {
    const auto rest = cdb.subspan(kFirstTailByte);
    const bool zero = AllZero(rest);
    const bool guard = rest.size() == kGuardTail.size() &&
                       std::equal(rest.begin(), rest.end(), kGuardTail.begin());
    return (zero && tail != Tail::Guard) || (guard && tail != Tail::Zero);
}

bool Fits(const AllowedCommand& row, std::span<const std::uint8_t> cdb, DataDirection direction,
          std::uint32_t length) {
    if (cdb.size() != row.block_length || cdb[1] != row.opcode) return false;
    if (std::find(row.byte2.begin(), row.byte2.end(), cdb[2]) == row.byte2.end()) return false;
    if (direction != row.direction || length != row.length) return false;
    return AllZero(cdb.subspan(3, kFirstTailByte - 3)) && TailFits(cdb, row.tail);
}

}  // namespace

CommandCheck CheckCommand(std::span<const std::uint8_t> cdb, DataDirection direction,
                          std::uint32_t length) {
    if (cdb.size() < 3 || cdb[0] != kVendorCommandByte)
        return {"", "not a vendor command of the product (byte 0 must be 0xFF)"};
    bool opcode_known = false;
    for (const AllowedCommand& row : kAllowed) {
        if (Fits(row, cdb, direction, length)) return {row.name, ""};
        opcode_known = opcode_known || row.opcode == cdb[1];
    }
    const std::string shape = std::to_string(cdb.size()) + "-byte block FF " + Hex(cdb[1]) + " " +
                              Hex(cdb[2]) + ", " + (direction == DataDirection::In ? "in" : "out") +
                              ", " + std::to_string(length) + " data bytes";
    if (!opcode_known) return {"", "opcode " + Hex(cdb[1]) + " is no command of the product"};
    return {"", "no command of the product is the " + shape};
}

}  // namespace torvex::helper
