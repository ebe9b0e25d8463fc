#include "cli/list_output.h"

#include <cstdio>

#include "base/text.h"

namespace torvex::cli {

namespace {

std::string Safe(std::u16string_view text) {
    return ToUtf8(ShownSafely(text));
}

std::string FourHex(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

std::string CodeText(const ListedDisk& disk) {
    switch (disk.code) {
        case ProductCode::MaskCode:
            if (!disk.mask_code) return "mask code";
            return *disk.mask_code == MaskCode::Mask0210 ? "mask code 0210" : "mask code 0110";
        case ProductCode::ProtectIsp:
            return "protected ISP code";
        case ProductCode::Application:
            return "application code";
        case ProductCode::Ota:
            return "OTA code";
        case ProductCode::NotTheProduct:
            break;
    }
    return "not the product";
}

std::string Dotted(const FirmwareInfoBlock& block, std::size_t offset) {
    char text[24];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(block.Byte(offset)),
                  static_cast<unsigned>(block.Byte(offset + 1)),
                  static_cast<unsigned>(block.Byte(offset + 2)),
                  static_cast<unsigned>(block.Byte(offset + 3)));
    return text;
}

// The name's bytes up to the first zero byte, widened one to one.
std::u16string NameOf(const FirmwareInfoBlock& block) {
    std::u16string name;
    for (std::uint8_t c : block.Name()) {
        if (c == 0) break;
        name.push_back(static_cast<char16_t>(c));
    }
    return name;
}

struct Identity {
    const char* label;  // plain
    const char* key;    // JSON
    const std::optional<FirmwareInfoBlock>& block;
};

std::vector<Identity> IdentitiesOf(const ListedDisk& disk) {
    return {{"EF64 bank", "ef64_bank", disk.ef64_bank},
            {"EF32_0 bank", "ef32_0_bank", disk.ef32_bank},
            {"EF64 image", "ef64_image", disk.ef64_image},
            {"EF32_0 image", "ef32_0_image", disk.ef32_image}};
}

}  // namespace

std::string PlainListLine(const ListedDisk& disk) {
    // Built by appending: GCC 12 warns falsely about chains of temporaries here.
    std::string line = disk.port.empty() ? "-" : Safe(disk.port);
    const auto field = [&line](std::string_view text) { line.append("\t").append(text); };
    field(FourHex(disk.vid));
    line.append(":").append(FourHex(disk.pid));
    field("SN:");
    line.append(Safe(disk.serial));
    field(CodeText(disk));
    if (!disk.identities_read) return line;
    if (!disk.open_error.empty()) {
        field("cannot open: ");
        line.append(Safe(disk.open_error));
    }
    for (const Identity& identity : IdentitiesOf(disk)) {
        field(identity.label);
        if (!identity.block) {
            line.append(" -");
            continue;
        }
        line.append(" ").append(Dotted(*identity.block, kVersionOffset));
        line.append(" tag ").append(Dotted(*identity.block, kTagOffset));
        line.append(" \"").append(Safe(NameOf(*identity.block))).append("\"");
    }
    field("update: ");
    return line.append(disk.update);
}

// JSON escapes every control character itself: the device's text goes in as it came.
void AddListedDisk(JsonLine& line, const ListedDisk& disk) {
    line.Text("port", ToUtf8(disk.port))
        .Text("vid", FourHex(disk.vid))
        .Text("pid", FourHex(disk.pid))
        .Text("serial", ToUtf8(disk.serial))
        .Text("code", CodeText(disk))
        .Flag("product", disk.code != ProductCode::NotTheProduct);
    if (!disk.identities_read) return;
    if (!disk.open_error.empty()) line.Text("open_error", ToUtf8(disk.open_error));
    for (const Identity& identity : IdentitiesOf(disk)) {
        if (!identity.block) continue;
        const std::string key = identity.key;
        line.Text(key + "_version", Dotted(*identity.block, kVersionOffset))
            .Text(key + "_tag", Dotted(*identity.block, kTagOffset))
            .Text(key + "_name", ToUtf8(NameOf(*identity.block)));
    }
    line.Text("update", disk.update);
}

}  // namespace torvex::cli
