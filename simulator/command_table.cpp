#include "simulator/command_table.h"

#include <algorithm>
#include <cstdio>

namespace torvex::sim {

namespace {

using M = ProductMode;
constexpr auto In = DataDirection::In;
constexpr auto Out = DataDirection::Out;
constexpr ModeSet kMasks{M::Mask0110, M::Mask0210};
constexpr ModeSet kMaskOta{M::Mask0210, M::Ota};
constexpr ModeSet kEf32Writers{M::Mask0210, M::Application};

// Every block as the product expects it on the wire. Guard bytes 01..09 sit in bytes 7..15
// where the sender's procedure has written them; bytes it has not written carry over.
constexpr AcceptedBlock kBlocks[] = {
    // Identification and information.
    {Command::MaskProbe,
     Dialect::None,
     {0xFF, 0x44, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     128,
     kMasks,
     {}},
    {Command::SelectKeyMaskQuery,
     Dialect::None,
     {0xFF, 0x62, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     0,
     {M::Mask0210},
     {M::Mask0110}},
    {Command::SelectKeyMainMemory,
     Dialect::None,
     {0xFF, 0x62, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     0,
     {M::Mask0210, M::ProtectIsp, M::Application, M::Ota},
     {}},
    {Command::PutBinxHeader,
     Dialect::None,
     {0xFF, 0xA0, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     Out,
     2048,
     {M::Application},
     {}},
    {Command::GetBinxInfo,
     Dialect::None,
     {0xFF, 0xA0, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     64,
     {M::Application},
     {}},
    {Command::GetFwInfo,
     Dialect::None,
     {0xFF, 0xA0, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     64,
     {M::Application, M::Ota},
     {}},
    {Command::GetEf32Info,
     Dialect::None,
     {0xFF, 0xA0, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     64,
     {M::Application},
     {}},
    {Command::Execute,
     Dialect::None,
     {0xFF, 0xA0, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     11,
     In,
     0,
     {M::Application},
     {}},

    // EF64, protected ISP code.
    {Command::EraseEf64Main,
     Dialect::None,
     {0xFF, 0x52, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     0,
     {M::ProtectIsp, M::Mask0210, M::Ota},
     {}},
    {Command::EraseEf64Info,
     Dialect::None,
     {0xFF, 0x53, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     0,
     {M::ProtectIsp, M::Mask0210, M::Ota},
     {}},
    {Command::ProgramEf64Main,
     Dialect::ProtectIsp,
     {0xFF, 0x50, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     65536,
     {M::ProtectIsp},
     {}},
    {Command::CheckEf64Main,
     Dialect::ProtectIsp,
     {0xFF, 0x58, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     In,
     0,
     {M::ProtectIsp},
     {}},
    // Also the EF32_0 procedure's second key selection, which carries the guard bytes too.
    {Command::SelectKeyInfoPage,
     Dialect::None,
     {0xFF, 0x62, 0x1C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     In,
     0,
     {M::ProtectIsp, M::Application, M::Mask0210},
     {}},
    {Command::ProgramEf64Info,
     Dialect::ProtectIsp,
     {0xFF, 0x5A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     128,
     {M::ProtectIsp},
     {}},
    {Command::CheckEf64Info,
     Dialect::ProtectIsp,
     {0xFF, 0x59, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     In,
     0,
     {M::ProtectIsp},
     {}},
    {Command::JumpEf64,
     Dialect::ProtectIsp,
     {0xFF, 0x56, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     0,
     {M::ProtectIsp},
     {}},

    // EF64, mask code 0210 and OTA code.
    {Command::ProgramEf64Main,
     Dialect::MaskOta,
     {0xFF, 0x5A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     Out,
     65536,
     kMaskOta,
     {}},
    {Command::CheckEf64Main,
     Dialect::MaskOta,
     {0xFF, 0x58, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     0,
     kMaskOta,
     {}},
    {Command::SelectKeyInfoPage,
     Dialect::MaskOta,
     {0xFF, 0x62, 0x1C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     0,
     kMaskOta,
     {}},
    {Command::ProgramEf64Info,
     Dialect::MaskOta,
     {0xFF, 0x5B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     Out,
     128,
     kMaskOta,
     {}},
    {Command::CheckEf64Info,
     Dialect::MaskOta,
     {0xFF, 0x59, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     In,
     0,
     kMaskOta,
     {}},
    {Command::JumpEf64,
     Dialect::MaskOta,
     {0xFF, 0x56, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00},
     16,
     Out,
     0,
     kMaskOta,
     {}},

    // EF32_0, application code and mask code 0210 (the key selection 0x1C above serves both).
    {Command::ProgramEf32Main,
     Dialect::None,
     {0xFF, 0x29, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     65536,
     kEf32Writers,
     {}},
    {Command::CheckEf32Main,
     Dialect::None,
     {0xFF, 0x24, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     0,
     kEf32Writers,
     {}},
    {Command::ProgramEf32InfoPage0,
     Dialect::None,
     {0xFF, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     128,
     kEf32Writers,
     {}},
    {Command::CheckEf32InfoPage0,
     Dialect::None,
     {0xFF, 0x25, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     0,
     kEf32Writers,
     {}},
    {Command::ProgramEf32InfoPage1,
     Dialect::None,
     {0xFF, 0x2A, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     128,
     kEf32Writers,
     {}},
    {Command::CheckEf32InfoPage1,
     Dialect::None,
     {0xFF, 0x25, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     0,
     kEf32Writers,
     {}},
    // Mask code 0210 goes on to EF64 without this jump.
    {Command::JumpEf32,
     Dialect::None,
     {0xFF, 0x27, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09},
     16,
     Out,
     0,
     {M::Application},
     {}},
};

constexpr std::string_view kCommandNames[] = {
    "ISP_CMD_MASK_PROBE",
    "ISP_CMD_SELECT_AES_KEY 0x00",
    "ISP_CMD_SELECT_AES_KEY 0x07",
    "ISP_CMD_SELECT_AES_KEY 0x1C",
    "ISP_CMD_PUT_BINX_HEADER",
    "ISP_CMD_GET_BINX_INFO",
    "ISP_CMD_GET_FW_INFO",
    "ISP_CMD_GET_EF32_0_INFO",
    "ISP_CMD_EXECUTE",
    "ISP_CMD_ERASE_EF64_MAIN",
    "ISP_CMD_ERASE_EF64_INFO",
    "ISP_CMD_PROGRAM_EF64_MAIN",
    "ISP_CMD_CHECK_EF64_MAIN",
    "ISP_CMD_PROGRAM_EF64_INFO",
    "ISP_CMD_CHECK_EF64_INFO",
    "ISP_CMD_JUMP_EF64",
    "ISP_CMD_PROGRAM_EF32_0_MAIN",
    "ISP_CMD_CHECK_EF32_0_MAIN",
    "ISP_CMD_PROGRAM_EF32_INFO page 0",
    "ISP_CMD_CHECK_EF32_INFO page 0",
    "ISP_CMD_PROGRAM_EF32_INFO page 1",
    "ISP_CMD_CHECK_EF32_INFO page 1",
    "ISP_CMD_JUMP_EF32",
};

bool SameBytes(const AcceptedBlock& block, std::span<const std::uint8_t> cdb) {
    return cdb.size() == block.cdb_length &&
           std::equal(cdb.begin(), cdb.end(), block.bytes.begin());
}

// A block with the same first three bytes, to name what the sender probably meant.
const AcceptedBlock* NearestBlock(std::span<const std::uint8_t> cdb, ProductMode mode) {
    const AcceptedBlock* nearest = nullptr;
    for (const auto& block : kBlocks) {
        if (cdb.size() < 3 || block.bytes[0] != cdb[0] || block.bytes[1] != cdb[1] ||
            block.bytes[2] != cdb[2])
            continue;
        if (nearest == nullptr || block.modes.Contains(mode)) nearest = &block;
    }
    return nearest;
}

std::string UnknownBlockReason(std::span<const std::uint8_t> cdb, ProductMode mode) {
    std::string reason = "no such command block: " + HexBytes(cdb);
    if (const AcceptedBlock* near = NearestBlock(cdb, mode)) {
        reason += " (expected ";
        reason += CommandName(near->command);
        reason += " as " + HexBytes(std::span(near->bytes.data(), near->cdb_length)) + ")";
    }
    return reason;
}

std::string ShapeReason(const AcceptedBlock& block, const RequestShape& request,
                        bool check_direction_without_data) {
    const std::string name(CommandName(block.command));
    const bool direction_matters = block.length != 0 || check_direction_without_data;
    if (direction_matters && request.direction != block.direction)
        return name + ": direction flag " + std::to_string(static_cast<int>(request.direction)) +
               ", expected " + std::to_string(static_cast<int>(block.direction));
    if (request.length != block.length)
        return name + ": data length " + std::to_string(request.length) + ", expected " +
               std::to_string(block.length);
    if (block.length != 0 && !request.has_buffer) return name + ": no data buffer";
    return {};
}

}  // namespace

std::string_view CommandName(Command command) {
    return kCommandNames[static_cast<std::size_t>(command)];
}

std::span<const AcceptedBlock> AcceptedBlocks() {
    return kBlocks;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        if (!text.empty()) text.push_back(' ');
        text += two;
    }
    return text;
}

Decoded DecodeCommand(const RequestShape& request, ProductMode mode,
                      bool check_direction_without_data) {
    Decoded decoded;
    const AcceptedBlock* known = nullptr;
    for (const auto& block : kBlocks) {
        if (!SameBytes(block, request.cdb)) continue;
        known = &block;
        if (block.modes.Contains(mode) || block.refused_in.Contains(mode)) break;
    }
    if (known == nullptr) {
        decoded.reason = UnknownBlockReason(request.cdb, mode);
        return decoded;
    }
    decoded.block = known;
    if (!known->modes.Contains(mode) && !known->refused_in.Contains(mode)) {
        decoded.reason = std::string(CommandName(known->command)) + " (" + HexBytes(request.cdb) +
                         ") is not taken in " + std::string(ModeName(mode)) + " code";
        return decoded;
    }
    decoded.reason = ShapeReason(*known, request, check_direction_without_data);
    if (!decoded.reason.empty()) return decoded;
    decoded.verdict = known->modes.Contains(mode) ? Verdict::Accept : Verdict::Refuse;
    return decoded;
}

}  // namespace torvex::sim
