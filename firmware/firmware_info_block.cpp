#include "firmware/firmware_info_block.h"

#include <algorithm>

#include "base/text.h"

namespace torvex {

FirmwareInfoBlock FirmwareInfoBlock::FromReply(std::span<const std::uint8_t> reply) {
    FirmwareInfoBlock block;
    const std::size_t n = std::min(reply.size(), kFirmwareInfoBlockLength);
    std::copy_n(reply.begin(), n, block.bytes_.begin());
    return block;
}

std::int32_t FwVersionNumber(const FirmwareInfoBlock& block) {
    const auto v = [&](std::size_t i) {
        return static_cast<std::int32_t>(block.Byte(kVersionOffset + i));
    };
    return v(0) * 1000 + v(1) * 100 + v(2) * 10 + v(3);
}

namespace {
const char* SideLabel(InfoBlockSide side) {
    switch (side) {
        case InfoBlockSide::Image:
            return "BINX File FW";
        case InfoBlockSide::DeviceEf64:
            return "Device EF64 FW";
        case InfoBlockSide::DeviceEf32:
            return "Device EF32_0 FW";
    }
    return "";
}
}  // namespace

std::u16string FormatTagVersionLine(InfoBlockSide side, const FirmwareInfoBlock& block) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned>(block.Byte(i)); };
    return FormatText("%s, Tag: %u.%u.%u.%u,  Version: %u.%u.%u.%u ", SideLabel(side), b(7), b(8),
                      b(9), b(10), b(11), b(12), b(13), b(14));
}

std::u16string FormatNameLine(InfoBlockSide side, const FirmwareInfoBlock& block) {
    std::u16string line = FormatText("%s Name: ", SideLabel(side));
    // The line is a zero-terminated wide string: a zero byte ends the name. The name is the
    // product's text: shown without its control characters.
    std::u16string name;
    for (std::uint8_t c : block.Name()) {
        if (c == 0) break;
        name.push_back(static_cast<char16_t>(c));
    }
    return line + ShownSafely(name);
}

std::u16string LogFirmwareInfoBlock(StatusLog& log, InfoBlockSide side,
                                    const FirmwareInfoBlock& block) {
    std::u16string name_line = FormatNameLine(side, block);
    log.AppendStatusLine(FormatTagVersionLine(side, block));
    log.AppendStatusLine(name_line);
    log.AppendStatusLine(u"\r");
    return name_line;
}

bool NameLineContains(std::u16string_view name_line, std::u16string_view pattern) {
    return name_line.find(pattern) != std::u16string_view::npos;
}

}  // namespace torvex
