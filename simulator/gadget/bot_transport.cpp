#include "simulator/gadget/bot_transport.h"

namespace torvex::sim::gadget {

namespace {

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void PutLe32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::optional<CommandBlockWrapper> ParseCbw(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kCbwSize || Le32(bytes, 0) != kCbwSignature) return std::nullopt;
    const std::uint8_t flags = bytes[12];
    const std::uint8_t lun = bytes[13];
    const std::uint8_t length = bytes[14];
    if ((flags & 0x7F) != 0 || (lun & 0xF0) != 0 || (length & 0xE0) != 0) return std::nullopt;
    if (length < 1 || length > 16) return std::nullopt;
    CommandBlockWrapper cbw;
    cbw.tag = Le32(bytes, 4);
    cbw.data_length = Le32(bytes, 8);
    cbw.data_in = (flags & 0x80) != 0;
    cbw.lun = lun;
    cbw.cb.assign(bytes.begin() + 15, bytes.begin() + 15 + length);
    return cbw;
}

std::array<std::uint8_t, kCswSize> MakeCsw(std::uint32_t tag, std::uint32_t residue,
                                           CswStatus status) {
    std::array<std::uint8_t, kCswSize> csw{};
    PutLe32(&csw[0], kCswSignature);
    PutLe32(&csw[4], tag);
    PutLe32(&csw[8], residue);
    csw[12] = static_cast<std::uint8_t>(status);
    return csw;
}

std::array<std::uint8_t, kCbwSize> MakeCbw(const CommandBlockWrapper& cbw) {
    std::array<std::uint8_t, kCbwSize> bytes{};
    PutLe32(&bytes[0], kCbwSignature);
    PutLe32(&bytes[4], cbw.tag);
    PutLe32(&bytes[8], cbw.data_length);
    bytes[12] = cbw.data_in ? 0x80 : 0x00;
    bytes[13] = cbw.lun;
    const std::size_t n = cbw.cb.size() < 16 ? cbw.cb.size() : 16;
    bytes[14] = static_cast<std::uint8_t>(n);
    for (std::size_t i = 0; i < n; ++i) bytes[15 + i] = cbw.cb[i];
    return bytes;
}

}  // namespace torvex::sim::gadget
