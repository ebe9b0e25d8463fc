#include "simulator/identity_block.h"

namespace torvex::sim {

namespace {
// The protected ISP code's signature, at offsets 0, 2, 4, ... 62.
constexpr std::array<std::uint8_t, 32> kProtectSignature = {
    0x90, 0xB0, 0xFB, 0xE0, 0xA3, 0xF9, 0x00, 0x12, 0x97, 0x44, 0x00, 0x20, 0xC2, 0x00, 0x22, 0xF8,
    0x01, 0x24, 0x30, 0x01, 0x26, 0x66, 0x01, 0x28, 0x9A, 0x01, 0x31, 0xCE, 0x01, 0x33, 0x02, 0x02};
}  // namespace

IdentityBlock MakeIdentity(FourParts tag, FourParts version, std::string_view name) {
    IdentityBlock block{};
    for (std::size_t i = 0; i < 4; ++i) {
        block[kIdentityTagOffset + i] = tag[i];
        block[kIdentityVersionOffset + i] = version[i];
    }
    for (std::size_t i = 0; i < name.size() && i < kIdentityNameLength; ++i)
        block[kIdentityNameOffset + i] = static_cast<std::uint8_t>(name[i]);
    return block;
}

FourParts IdentityTag(const IdentityBlock& block) {
    return {block[7], block[8], block[9], block[10]};
}

FourParts IdentityVersion(const IdentityBlock& block) {
    return {block[11], block[12], block[13], block[14]};
}

std::string IdentityName(const IdentityBlock& block) {
    std::string name;
    for (std::size_t i = 0; i < kIdentityNameLength; ++i) {
        const std::uint8_t c = block[kIdentityNameOffset + i];
        if (c == 0) break;
        name.push_back(static_cast<char>(c));
    }
    return name;
}

std::int32_t IdentityVersionNumber(const IdentityBlock& block) {
    return block[11] * 1000 + block[12] * 100 + block[13] * 10 + block[14];
}

IdentityBlock ErasedIdentity(std::size_t other_bytes) {
    IdentityBlock block;
    block.fill(0xFF);
    for (std::size_t i = 0; i < other_bytes && i < block.size(); ++i) block[i] = 0x00;
    return block;
}

IdentityBlock ProtectSignatureIdentity(std::uint8_t odd_filler) {
    IdentityBlock block;
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = (i % 2 == 0) ? kProtectSignature[i / 2] : odd_filler;
    return block;
}

}  // namespace torvex::sim
