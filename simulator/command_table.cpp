#include "simulator/command_table.h"

#include <algorithm>
#include <cstdio>

namespace torvex::sim {

namespace {

// The name of each command, as its messages give it.
struct CommandNameRow {
    Command command;
    std::string_view name;
};

constexpr CommandNameRow kCommandNames[] = {
    {Command::MaskProbe, "ISP_CMD_MASK_PROBE"},
    {Command::SelectKeyMaskQuery, "ISP_CMD_SELECT_AES_KEY 0x00"},
    {Command::SelectKeyMainMemory, "ISP_CMD_SELECT_AES_KEY 0x07"},
    {Command::SelectKeyInfoPage, "ISP_CMD_SELECT_AES_KEY 0x1C"},
    {Command::PutBinxHeader, "ISP_CMD_PUT_BINX_HEADER"},
    {Command::GetBinxInfo, "ISP_CMD_GET_BINX_INFO"},
    {Command::GetFwInfo, "ISP_CMD_GET_FW_INFO"},
    {Command::GetEf32Info, "ISP_CMD_GET_EF32_0_INFO"},
    {Command::Execute, "ISP_CMD_EXECUTE"},
    {Command::EraseEf64Main, "ISP_CMD_ERASE_EF64_MAIN"},
    {Command::EraseEf64Info, "ISP_CMD_ERASE_EF64_INFO"},
    {Command::ProgramEf64Main, "ISP_CMD_PROGRAM_EF64_MAIN"},
    {Command::CheckEf64Main, "ISP_CMD_CHECK_EF64_MAIN"},
    {Command::ProgramEf64Info, "ISP_CMD_PROGRAM_EF64_INFO"},
    {Command::CheckEf64Info, "ISP_CMD_CHECK_EF64_INFO"},
    {Command::JumpEf64, "ISP_CMD_JUMP_EF64"},
    {Command::ProgramEf32Main, "ISP_CMD_PROGRAM_EF32_0_MAIN"},
    {Command::CheckEf32Main, "ISP_CMD_CHECK_EF32_0_MAIN"},
    {Command::ProgramEf32InfoPage0, "ISP_CMD_PROGRAM_EF32_INFO page 0"},
    {Command::CheckEf32InfoPage0, "ISP_CMD_CHECK_EF32_INFO page 0"},
    {Command::ProgramEf32InfoPage1, "ISP_CMD_PROGRAM_EF32_INFO page 1"},
    {Command::CheckEf32InfoPage1, "ISP_CMD_CHECK_EF32_INFO page 1"},
    {Command::JumpEf32, "ISP_CMD_JUMP_EF32"},
};

// Every command of the enumeration (JumpEf32 is its last) has a row, in any order.
consteval bool EveryCommandNamed() {
    for (int command = 0; command <= static_cast<int>(Command::JumpEf32); ++command) {
        bool named = false;
        for (const CommandNameRow& row : kCommandNames)
            named = named || static_cast<int>(row.command) == command;
        if (!named) return false;
    }
    return true;
}
static_assert(EveryCommandNamed(), "a command without a name");

bool SameBytes(const AcceptedBlock& block, std::span<const std::uint8_t> cdb) {
    return cdb.size() == block.cdb_length &&
           std::equal(cdb.begin(), cdb.end(), block.bytes.begin());
}

// A block with the same first three bytes, to name what the sender probably meant.
const AcceptedBlock* NearestBlock(std::span<const std::uint8_t> cdb, ProductMode mode) {
    const AcceptedBlock* nearest = nullptr;
    for (const auto& block : AcceptedBlocks()) {
        if (cdb.size() < 3 || block.bytes[0] != cdb[0] || block.bytes[1] != cdb[1] ||
            block.bytes[2] != cdb[2])
            continue;
        if (nearest == nullptr || block.modes.Contains(mode)) nearest = &block;
    }
    return nearest;
}

const AcceptedBlock* SameCommandInMode(Command command, ProductMode mode) {
    for (const auto& block : AcceptedBlocks())
        if (block.command == command && block.modes.Contains(mode)) return &block;
    return nullptr;
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
    for (const CommandNameRow& row : kCommandNames)
        if (row.command == command) return row.name;
    return "an unnamed command";
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
    for (const auto& block : AcceptedBlocks()) {
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
        if (const AcceptedBlock* own = SameCommandInMode(known->command, mode))
            decoded.reason +=
                ", which expects " + HexBytes(std::span(own->bytes.data(), own->cdb_length));
        return decoded;
    }
    decoded.reason = ShapeReason(*known, request, check_direction_without_data);
    if (!decoded.reason.empty()) return decoded;
    decoded.verdict = known->modes.Contains(mode) ? Verdict::Accept : Verdict::Refuse;
    return decoded;
}

}  // namespace torvex::sim
