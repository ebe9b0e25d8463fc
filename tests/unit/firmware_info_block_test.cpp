// Identity blocks: version numbers, the three log lines, the name search.
#include <gtest/gtest.h>

#include <cstring>

#include "base/text.h"
#include "firmware/firmware_info_block.h"
#include "tests/support/recording_window.h"

namespace torvex {
namespace {

FirmwareInfoBlock BlockWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes,
                            const char* name = nullptr, std::size_t name_offset = kNameOffset) {
    std::array<std::uint8_t, 64> raw{};
    for (auto [offset, value] : bytes) raw[offset] = value;
    if (name != nullptr) std::memcpy(raw.data() + name_offset, name, std::strlen(name));
    return FirmwareInfoBlock::FromReply(raw);
}

FirmwareInfoBlock Version(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return BlockWith({{11, a}, {12, b}, {13, c}, {14, d}});
}

TEST(FwVersionNumber, IsAWeightedSumSoDifferentVersionsCanBeEqual) {
    EXPECT_EQ(FwVersionNumber(Version(1, 10, 0, 0)), 2000);
    EXPECT_EQ(FwVersionNumber(Version(2, 0, 0, 0)), 2000);
    EXPECT_EQ(FwVersionNumber(Version(255, 255, 255, 255)), 283305);
    EXPECT_EQ(FwVersionNumber(Version(100, 0, 0, 0)), 100000);
    EXPECT_EQ(FwVersionNumber(Version(1, 2, 3, 4)), 1234);
}

TEST(FirmwareInfoBlockLines, ThreeLinesWithUnsignedBytesAndWidenedName) {
    testing::RecordingWindow window;
    StatusLog log(window);
    const auto block =
        BlockWith({{7, 7}, {8, 8}, {9, 9}, {10, 200}, {11, 100}, {12, 0}, {13, 1}, {14, 255}},
                  "F_TORVEX_\xE9X");
    const auto name_line = LogFirmwareInfoBlock(log, InfoBlockSide::DeviceEf64, block);
    const auto lines = window.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], u"Device EF64 FW, Tag: 7.8.9.200,  Version: 100.0.1.255 ");
    EXPECT_EQ(lines[1], u"Device EF64 FW Name: F_TORVEX_\u00E9X");
    EXPECT_EQ(lines[2], u"\r");
    EXPECT_EQ(name_line, lines[1]);
    EXPECT_EQ(FormatTagVersionLine(InfoBlockSide::Image, block),
              u"BINX File FW, Tag: 7.8.9.200,  Version: 100.0.1.255 ");
    EXPECT_EQ(FormatNameLine(InfoBlockSide::DeviceEf32, block),
              u"Device EF32_0 FW Name: F_TORVEX_\u00E9X");
}

TEST(FirmwareInfoBlockLines, FullTwentyFourCharacterNameStopsAtItsField) {
    std::array<std::uint8_t, 64> raw{};
    std::memset(raw.data() + 32, 'A', 24);
    std::memset(raw.data() + 56, 'B', 8);  // bytes after the name never show
    const auto line = FormatNameLine(InfoBlockSide::Image, FirmwareInfoBlock::FromReply(raw));
    EXPECT_EQ(line, u"BINX File FW Name: " + std::u16string(24, u'A'));
}

TEST(NameComparison, ZeroByteEndsTheNameAndHidesWhatFollows) {
    std::array<std::uint8_t, 64> raw{};
    std::memcpy(raw.data() + 32, "AB", 2);
    std::memcpy(raw.data() + 35, "F_TORVEX_", 9);
    const auto line = FormatNameLine(InfoBlockSide::DeviceEf64, FirmwareInfoBlock::FromReply(raw));
    EXPECT_EQ(line, u"Device EF64 FW Name: AB");
    EXPECT_FALSE(NameLineContains(line, kFirstProductLinePattern));
}

// The product's name reaches the log and a terminal without its control characters; the
// product line is still recognised around them.
TEST(NameComparison, ControlCharactersAreShownAsReplacementCharacters) {
    std::array<std::uint8_t, 64> raw{};
    std::memcpy(raw.data() + 32, "\x1b[2JF_TORVEX_\r\x7f\xe9", 16);
    const auto line = FormatNameLine(InfoBlockSide::DeviceEf64, FirmwareInfoBlock::FromReply(raw));
    EXPECT_EQ(line, u"Device EF64 FW Name: \uFFFD[2JF_TORVEX_\uFFFD\uFFFD\u00e9");
    EXPECT_TRUE(NameLineContains(line, kFirstProductLinePattern));
}

TEST(NameComparison, PatternAtTheVeryEndOfTheFieldIsFound) {
    // "F_TORVEX_" occupies offsets 47..55.
    const auto block = BlockWith({}, "F_TORVEX_", 47);
    std::array<std::uint8_t, 64> raw = block.Bytes();
    for (std::size_t i = 32; i < 47; ++i) raw[i] = 'x';
    const auto line = FormatNameLine(InfoBlockSide::DeviceEf64, FirmwareInfoBlock::FromReply(raw));
    EXPECT_TRUE(NameLineContains(line, kFirstProductLinePattern));
}

TEST(NameComparison, ProductLinesAreCaseSensitiveAndDistinct) {
    EXPECT_TRUE(NameLineContains(u"x F_TORVEXZED_1", kSecondProductLinePattern));
    EXPECT_FALSE(NameLineContains(u"x F_TORVEXZED_1", kFirstProductLinePattern));
    EXPECT_FALSE(NameLineContains(u"x f_torvex_1", kFirstProductLinePattern));
}

TEST(FirmwareInfoBlockReply, ShortReplyIsPaddedNotOverread) {
    const std::uint8_t shortReply[3] = {1, 2, 3};
    const auto block = FirmwareInfoBlock::FromReply(shortReply);
    EXPECT_EQ(block.Byte(2), 3);
    EXPECT_EQ(block.Byte(63), 0);
}

}  // namespace
}  // namespace torvex
