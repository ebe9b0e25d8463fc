// The product's table of command blocks, written as the command tables list them: the bytes as
// sent, the direction flag, the data length, and the codes that take each block.
#include <string_view>

#include "simulator/command_table.h"

namespace torvex::sim {

namespace {

using M = ProductMode;
constexpr auto In = DataDirection::In;
constexpr auto Out = DataDirection::Out;
constexpr ModeSet kMasks{M::Mask0110, M::Mask0210};
constexpr ModeSet kMaskOta{M::Mask0210, M::Ota};
constexpr ModeSet kEf32Writers{M::Mask0210, M::Application};
constexpr ModeSet kEf64Writers{M::ProtectIsp, M::Mask0210, M::Ota};

consteval std::uint8_t HexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    throw "not an upper-case hex digit";
}

// "FF 62 1C 00 ..." as written in the tables, up to 16 bytes.
consteval AcceptedBlock Row(Command command, Dialect dialect, std::string_view hex,
                            DataDirection direction, std::uint32_t length, ModeSet modes,
                            ModeSet refused_in = {}) {
    AcceptedBlock block{command, dialect, {}, 0, direction, length, modes, refused_in};
    for (std::size_t i = 0; i < hex.size(); i += 3) {
        if (block.cdb_length == 16) throw "more than 16 bytes";
        block.bytes[block.cdb_length++] =
            static_cast<std::uint8_t>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1]));
    }
    return block;
}

using C = Command;
using D = Dialect;

// Guard bytes 01..09 sit in bytes 7..15 where the sending procedure has written them; bytes it
// has not written carry over from its step before.
// clang-format off
constexpr AcceptedBlock kBlocks[] = {
    // Identification and information.
    Row(C::MaskProbe,           D::None,       "FF 44 00 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  128,   kMasks),
    Row(C::SelectKeyMaskQuery,  D::None,       "FF 62 00 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  0,     {M::Mask0210}, {M::Mask0110}),
    Row(C::SelectKeyMainMemory, D::None,       "FF 62 07 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  0,     {M::Mask0210, M::ProtectIsp, M::Application, M::Ota}),
    Row(C::PutBinxHeader,       D::None,       "FF A0 06 00 00 00 00 00 00 00 00 00 00 00 00 00", Out, 2048,  {M::Application}),
    Row(C::GetBinxInfo,         D::None,       "FF A0 07 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  64,    {M::Application}),
    Row(C::GetFwInfo,           D::None,       "FF A0 04 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  64,    {M::Application, M::Ota}),
    Row(C::GetEf32Info,         D::None,       "FF A0 05 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  64,    {M::Application}),
    Row(C::Execute,             D::None,       "FF A0 02 00 00 00 00 00 00 00 00",                In,  0,     {M::Application}),

    // EF64, both dialects.
    Row(C::EraseEf64Main,       D::None,       "FF 52 00 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  0,     kEf64Writers),
    Row(C::EraseEf64Info,       D::None,       "FF 53 00 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  0,     kEf64Writers),

    // EF64, ProtectIspDialect (protected ISP code).
    Row(C::ProgramEf64Main,     D::ProtectIsp, "FF 50 00 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 65536, {M::ProtectIsp}),
    Row(C::CheckEf64Main,       D::ProtectIsp, "FF 58 00 00 00 00 00 01 02 03 04 05 06 07 08 09", In,  0,     {M::ProtectIsp}),
    // Also the EF32_0 procedure's second key selection, which carries the guard bytes too.
    Row(C::SelectKeyInfoPage,   D::None,       "FF 62 1C 00 00 00 00 01 02 03 04 05 06 07 08 09", In,  0,     {M::ProtectIsp, M::Application, M::Mask0210}),
    Row(C::ProgramEf64Info,     D::ProtectIsp, "FF 5A 00 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 128,   {M::ProtectIsp}),
    Row(C::CheckEf64Info,       D::ProtectIsp, "FF 59 00 00 00 00 00 01 02 03 04 05 06 07 08 09", In,  0,     {M::ProtectIsp}),
    Row(C::JumpEf64,            D::ProtectIsp, "FF 56 00 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 0,     {M::ProtectIsp}),

    // EF64, MaskOtaDialect (mask code 0210 and OTA code).
    Row(C::ProgramEf64Main,     D::MaskOta,    "FF 5A 00 00 00 00 00 00 00 00 00 00 00 00 00 00", Out, 65536, kMaskOta),
    Row(C::CheckEf64Main,       D::MaskOta,    "FF 58 00 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  0,     kMaskOta),
    Row(C::SelectKeyInfoPage,   D::MaskOta,    "FF 62 1C 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  0,     kMaskOta),
    Row(C::ProgramEf64Info,     D::MaskOta,    "FF 5B 00 00 00 00 00 00 00 00 00 00 00 00 00 00", Out, 128,   kMaskOta),
    Row(C::CheckEf64Info,       D::MaskOta,    "FF 59 00 00 00 00 00 00 00 00 00 00 00 00 00 00", In,  0,     kMaskOta),
    Row(C::JumpEf64,            D::MaskOta,    "FF 56 00 00 00 00 00 00 00 00 00 00 00 00 00 00", Out, 0,     kMaskOta),

    // EF32_0 (application code and mask code 0210); the key selections are the ones above.
    Row(C::ProgramEf32Main,     D::None,       "FF 29 00 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 65536, kEf32Writers),
    Row(C::CheckEf32Main,       D::None,       "FF 24 00 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 0,     kEf32Writers),
    Row(C::ProgramEf32InfoPage0,D::None,       "FF 2A 00 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 128,   kEf32Writers),
    Row(C::CheckEf32InfoPage0,  D::None,       "FF 25 00 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 0,     kEf32Writers),
    Row(C::ProgramEf32InfoPage1,D::None,       "FF 2A 01 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 128,   kEf32Writers),
    Row(C::CheckEf32InfoPage1,  D::None,       "FF 25 01 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 0,     kEf32Writers),
    // Not in mask code 0210, which goes on to EF64 and its jump instead.
    Row(C::JumpEf32,            D::None,       "FF 27 01 00 00 00 00 01 02 03 04 05 06 07 08 09", Out, 0,     {M::Application}),
};
// clang-format on

}  // namespace

std::span<const AcceptedBlock> AcceptedBlocks() {
    return kBlocks;
}

}  // namespace torvex::sim
