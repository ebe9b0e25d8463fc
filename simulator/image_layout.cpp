#include "simulator/image_layout.h"

#include <algorithm>

namespace torvex::sim {

namespace {

constexpr std::array<std::uint8_t, 4> kMainMarker = {'T', 'V', 'X', 'M'};
constexpr std::array<std::uint8_t, 4> kInfoMarker = {'T', 'V', 'X', 'I'};
constexpr std::array<std::uint8_t, 4> kHeaderMarker = {'T', 'V', 'X', 'H'};

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr auto kCrcTable = MakeCrcTable();

void PutLe32(std::span<std::uint8_t> at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLe32(std::span<const std::uint8_t> at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return value;
}

ImageCheck CheckSealed(std::span<const std::uint8_t> bytes, std::size_t marker_at,
                       std::span<const std::uint8_t, 4> marker, BankCode bank, std::size_t crc_at) {
    if (!std::equal(marker.begin(), marker.end(), bytes.begin() + marker_at))
        return ImageCheck::NoImage;
    if (bytes[marker_at + 4] != static_cast<std::uint8_t>(bank)) return ImageCheck::WrongBank;
    if (Crc32(bytes.first(crc_at)) != GetLe32(bytes.subspan(crc_at, 4)))
        return ImageCheck::ChecksumMismatch;
    return ImageCheck::Good;
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) c = kCrcTable[(c ^ b) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void FillPseudoRandom(std::span<std::uint8_t> bytes, std::uint32_t seed) {
    std::uint32_t x = seed ^ 0x2545F491u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 11);
    }
}

std::vector<std::uint8_t> BuildMainImage(BankCode bank, std::uint8_t group,
                                         const IdentityBlock& identity, std::uint32_t seed) {
    std::vector<std::uint8_t> main(kMainMemorySize);
    FillPseudoRandom(main, seed);
    std::span<std::uint8_t> trailer(main.data() + kMainTrailerOffset, 16);
    std::fill(trailer.begin(), trailer.end(), 0);
    std::copy(kMainMarker.begin(), kMainMarker.end(), trailer.begin());
    trailer[4] = static_cast<std::uint8_t>(bank);
    trailer[5] = group;
    SetMainIdentity(main, identity);
    return main;
}

void SetMainIdentity(std::span<std::uint8_t> main, const IdentityBlock& identity) {
    std::copy(identity.begin(), identity.end(), main.begin() + kMainIdentityOffset);
    PutLe32(main.subspan(kMainCrcOffset, 4), Crc32(main.first(kMainCrcOffset)));
}

ImageCheck CheckMainImage(std::span<const std::uint8_t> main, BankCode bank) {
    return CheckSealed(main, kMainTrailerOffset, kMainMarker, bank, kMainCrcOffset);
}

IdentityBlock MainIdentity(std::span<const std::uint8_t> main) {
    IdentityBlock identity;
    std::copy_n(main.begin() + kMainIdentityOffset, identity.size(), identity.begin());
    return identity;
}

std::array<std::uint8_t, kInfoPageSize> BuildInfoPage(BankCode bank, std::uint32_t seed) {
    std::array<std::uint8_t, kInfoPageSize> page{};
    FillPseudoRandom(page, seed);
    std::copy(kInfoMarker.begin(), kInfoMarker.end(), page.begin());
    page[4] = static_cast<std::uint8_t>(bank);
    PutLe32(std::span(page).subspan(kInfoCrcOffset, 4),
            Crc32(std::span(page).first(kInfoCrcOffset)));
    return page;
}

ImageCheck CheckInfoPage(std::span<const std::uint8_t> page, BankCode bank) {
    return CheckSealed(page, 0, kInfoMarker, bank, kInfoCrcOffset);
}

std::array<std::uint8_t, kBlockPreambleSize> BuildPreamble(BankCode bank, std::uint8_t group,
                                                           const IdentityBlock& identity,
                                                           std::uint32_t seed) {
    std::array<std::uint8_t, kBlockPreambleSize> preamble{};
    FillPseudoRandom(preamble, seed);
    std::copy(kHeaderMarker.begin(), kHeaderMarker.end(), preamble.begin());
    preamble[4] = static_cast<std::uint8_t>(bank);
    preamble[5] = group;
    preamble[6] = 0;
    std::copy(identity.begin(), identity.end(), preamble.begin() + kHeaderIdentityOffset);
    return preamble;
}

IdentityBlock HeaderIdentity(std::span<const std::uint8_t> slice) {
    IdentityBlock identity;
    std::copy_n(slice.begin() + kHeaderIdentityOffset, identity.size(), identity.begin());
    return identity;
}

}  // namespace torvex::sim
