// The identity block read from arbitrary bytes (of any length) and its log lines and name search.
//
// Input: the reply bytes themselves.

#include <algorithm>
#include <string_view>

#include "firmware/firmware_info_block.h"
#include "fuzz/fuzz_support.h"

namespace torvex::fuzz {
namespace {

constexpr InfoBlockSide kSides[] = {InfoBlockSide::Image, InfoBlockSide::DeviceEf64,
                                    InfoBlockSide::DeviceEf32};

// The name bytes up to the first zero, as the product wrote them.
std::string_view RawName(const FirmwareInfoBlock& block) {
    const auto name = block.Name();
    const auto end = std::find(name.begin(), name.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(name.data()),
            static_cast<std::size_t>(end - name.begin())};
}

void CheckBlock(std::span<const std::uint8_t> reply, const FirmwareInfoBlock& block) {
    for (std::size_t i = 0; i < kFirmwareInfoBlockLength; ++i)
        Require(block.Byte(i) == (i < reply.size() ? reply[i] : 0),
                "the block is the reply's first 64 bytes, padded with zeros");
    const std::int32_t number = FwVersionNumber(block);
    Require(number >= 0 && number <= 255 * 1111, "the version number stays in its range");
}

void CheckLines(const FirmwareInfoBlock& block) {
    const std::string_view name = RawName(block);
    for (InfoBlockSide side : kSides) {
        const std::u16string tag_line = FormatTagVersionLine(side, block);
        Require(tag_line.size() <= 80, "the tag and version line stays short");
        const std::u16string name_line = FormatNameLine(side, block);
        // Each byte widened one to one, a control character or DEL shown as U+FFFD.
        Require(name_line.size() >= name.size() &&
                    std::equal(name.begin(), name.end(), name_line.end() - name.size(),
                               [](char byte, char16_t unit) {
                                   const auto value = static_cast<std::uint8_t>(byte);
                                   const bool control = value < 0x20 || value == 0x7F;
                                   return unit == (control ? u'\uFFFD' : value);
                               }),
                "the name line ends with the name's bytes widened one to one, shown safely");
        for (std::u16string_view pattern : {kFirstProductLinePattern, kSecondProductLinePattern}) {
            const std::string narrow(pattern.begin(), pattern.end());
            const bool in_name = name.find(narrow) != std::string_view::npos;
            Require(NameLineContains(name_line, pattern) == in_name,
                    "a product line is found exactly when the name holds it");
        }
    }
}

}  // namespace
}  // namespace torvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torvex;
    const std::span<const std::uint8_t> reply(data, size);
    const FirmwareInfoBlock block = FirmwareInfoBlock::FromReply(reply);
    fuzz::CheckBlock(reply, block);
    fuzz::CheckLines(block);
    return 0;
}
