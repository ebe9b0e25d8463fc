// The vendor command builders: the bytes each leaves in the run's block (what it writes and what
// carries over from the step before) and the data phase it gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "device/vendor_commands.h"

namespace torvex {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned>(b));
        if (!text.empty()) text += ' ';
        text += two;
    }
    return text;
}

constexpr std::uint8_t kPage[kInfoPageLength] = {};
constexpr const char* kGuard = "01 02 03 04 05 06 07 08 09";

// One run of the EF32_0 procedure, step by step: the guard bytes come with the main-memory
// program and stay; the jump keeps the page of the step before.
TEST(VendorCommands, CarriedOverBytesOfAnEf32Run) {
    IspCommandBlock block;
    SharedDataBuffer replies;
    const std::span<const std::uint8_t> page(kPage);
    const auto zeros = std::string("00 00 00 00 00 00 00 00 00");
    const auto key07 = vendor::SelectKey(block, kKeySlotMainMemory, replies);
    EXPECT_EQ(Hex(key07.cdb), "FF 62 07 00 00 00 00 " + zeros);
    EXPECT_EQ(key07.data.direction, DataDirection::In);
    EXPECT_EQ(key07.data.reply.data(), replies.data());  // the reply area named, no data
    EXPECT_TRUE(key07.data.reply.empty());

    const auto main = vendor::ProgramEf32Main(block, 0, page);
    EXPECT_EQ(Hex(main.cdb), std::string("FF 29 00 00 00 00 00 ") + kGuard);
    EXPECT_EQ(main.data.payload.data(), page.data());  // sent in place
    EXPECT_EQ(Hex(vendor::CheckEf32Main(block, 0).cdb),
              std::string("FF 24 00 00 00 00 00 ") + kGuard);
    EXPECT_EQ(Hex(vendor::SelectKey(block, kKeySlotInfoPage, replies).cdb),
              std::string("FF 62 1C 00 00 00 00 ") + kGuard);
    EXPECT_EQ(Hex(vendor::ProgramEf32Info(block, 1, page).cdb),
              std::string("FF 2A 01 00 00 00 00 ") + kGuard);
    const auto jump = vendor::JumpEf32(block);
    EXPECT_EQ(Hex(jump.cdb), std::string("FF 27 01 00 00 00 00 ") + kGuard);
    EXPECT_EQ(jump.data.direction, DataDirection::Out);
    EXPECT_TRUE(jump.data.payload.empty() && jump.data.reply.empty());
}

// The two EF64 opcode sets: only the protected one writes the guard bytes, with main memory.
TEST(VendorCommands, Ef64OpcodeSets) {
    const std::span<const std::uint8_t> page(kPage);
    IspCommandBlock mask_ota;
    EXPECT_EQ(Hex(vendor::ProgramEf64(mask_ota, MaskOtaDialect, FlashArea::MainMemory, page).cdb),
              "FF 5A 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Hex(vendor::ProgramEf64(mask_ota, MaskOtaDialect, FlashArea::InfoPage, page).cdb),
              "FF 5B 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    IspCommandBlock protect;
    EXPECT_EQ(Hex(vendor::ProgramEf64(protect, ProtectIspDialect, FlashArea::InfoPage, page).cdb),
              "FF 5A 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Hex(vendor::ProgramEf64(protect, ProtectIspDialect, FlashArea::MainMemory, page).cdb),
              std::string("FF 50 00 00 00 00 00 ") + kGuard);
    EXPECT_EQ(Hex(vendor::Execute().cdb), "FF A0 02 00 00 00 00 00 00 00 00");
}

// An information read never shows the reply before it: its 64-byte area is zeroed.
TEST(VendorCommands, InformationReadClearsItsReplyArea) {
    IspCommandBlock block;
    SharedDataBuffer replies;
    std::fill(replies.bytes.begin(), replies.bytes.end(), std::uint8_t{0xAB});
    const auto read = vendor::ReadInformation(block, ISP_CMD_GET_FW_INFO, replies);
    EXPECT_EQ(Hex(read.cdb), "FF A0 04 00 00 00 00 00 00 00 00 00 00 00 00 00");
    ASSERT_EQ(read.data.reply.size(), kInfoReplyLength);
    EXPECT_EQ(read.data.reply.data(), replies.data());
    EXPECT_TRUE(std::all_of(read.data.reply.begin(), read.data.reply.end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(replies.bytes[kInfoReplyLength], 0xAB);
}

}  // namespace
}  // namespace torvex
