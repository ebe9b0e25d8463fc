#include "device/vendor_commands.h"

#include <algorithm>

namespace torvex::vendor {

namespace {

constexpr auto kExecuteBlock = IspExecuteCommandBlock();

// No data, direction in, with the reply area named as buffer (key selections, erases and EF64
// checksums).
VendorRequest NoDataIn(const IspCommandBlock& block, SharedDataBuffer& replies) {
    return {block.Bytes(), DataPhase::In(replies.Area(0))};
}

// No data, direction out, no buffer (EF32_0 checksums, jumps).
VendorRequest NoDataOut(const IspCommandBlock& block) {
    return {block.Bytes(), DataPhase::None(DataDirection::Out)};
}

VendorRequest DataOut(const IspCommandBlock& block, std::span<const std::uint8_t> data) {
    return {block.Bytes(), DataPhase::Out(data)};
}

}  // namespace

VendorRequest MaskProbe(IspCommandBlock& block, SharedDataBuffer& replies) {
    block.WriteOpcode(ISP_CMD_MASK_PROBE);
    return {block.Bytes(), DataPhase::In(replies.Area(kMaskProbeReplyLength))};
}

VendorRequest SelectKey(IspCommandBlock& block, std::uint8_t slot, SharedDataBuffer& replies) {
    block.Write(ISP_CMD_SELECT_AES_KEY, slot);
    return NoDataIn(block, replies);
}

VendorRequest ReadInformation(IspCommandBlock& block, std::uint8_t info_command,
                              SharedDataBuffer& replies) {
    block.Write(ISP_CMD_INFO_GROUP, info_command);
    const std::span<std::uint8_t> area = replies.Area(kInfoReplyLength);
    std::fill(area.begin(), area.end(), std::uint8_t{0});
    return {block.Bytes(), DataPhase::In(area)};
}

VendorRequest PutImageHeader(IspCommandBlock& block, std::span<const std::uint8_t> identity_slice) {
    block.Write(ISP_CMD_INFO_GROUP, ISP_CMD_PUT_BINX_HEADER);
    return DataOut(block, identity_slice.first(kImageHeaderLength));
}

VendorRequest Execute() {
    return {kExecuteBlock, DataPhase::None(DataDirection::In)};
}

VendorRequest EraseEf64(IspCommandBlock& block, FlashArea area, SharedDataBuffer& replies) {
    block.Write(area == FlashArea::MainMemory ? ISP_CMD_ERASE_EF64_MAIN : ISP_CMD_ERASE_EF64_INFO,
                0);
    return NoDataIn(block, replies);
}

VendorRequest ProgramEf64(IspCommandBlock& block, const IspDialect& dialect, FlashArea area,
                          std::span<const std::uint8_t> slice) {
    const bool main_memory = area == FlashArea::MainMemory;
    block.Write(main_memory ? dialect.program_main : dialect.program_info, 0);
    if (main_memory && dialect.guard_bytes_from_program_main) block.WriteProgramGuardBytes();
    return DataOut(block, slice);
}

VendorRequest CheckEf64(IspCommandBlock& block, FlashArea area, SharedDataBuffer& replies) {
    block.Write(area == FlashArea::MainMemory ? ISP_CMD_CHECK_EF64_MAIN : ISP_CMD_CHECK_EF64_INFO,
                0);
    return NoDataIn(block, replies);
}

VendorRequest JumpEf64(IspCommandBlock& block) {
    block.Write(ISP_CMD_JUMP_EF64, 0);
    return NoDataOut(block);
}

VendorRequest ProgramEf32Main(IspCommandBlock& block, std::uint8_t chunk,
                              std::span<const std::uint8_t> slice) {
    block.WriteProgramGuardBytes();
    block.WriteChunk(ISP_CMD_PROGRAM_EF32_0_MAIN, chunk);
    return DataOut(block, slice);
}

VendorRequest CheckEf32Main(IspCommandBlock& block, std::uint8_t chunk) {
    block.WriteChunk(ISP_CMD_CHECK_EF32_0_MAIN, chunk);
    return NoDataOut(block);
}

VendorRequest ProgramEf32Info(IspCommandBlock& block, std::uint8_t page,
                              std::span<const std::uint8_t> slice) {
    block.Write(ISP_CMD_PROGRAM_EF32_INFO, page);
    return DataOut(block, slice);
}

VendorRequest CheckEf32Info(IspCommandBlock& block, std::uint8_t page) {
    block.Write(ISP_CMD_CHECK_EF32_INFO, page);
    return NoDataOut(block);
}

VendorRequest JumpEf32(IspCommandBlock& block) {
    block.WriteOpcode(ISP_CMD_JUMP_EF32);
    return NoDataOut(block);
}

}  // namespace torvex::vendor
