#pragma once
// USB mass-storage bulk-only transport: the 31-byte command block wrapper the host sends before
// each command and the 13-byte command status wrapper the device ends it with. Pure: bytes in,
// bytes out.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace torvex::sim::gadget {

inline constexpr std::size_t kCbwSize = 31;
inline constexpr std::size_t kCswSize = 13;
inline constexpr std::uint32_t kCbwSignature = 0x43425355;  // "USBC"
inline constexpr std::uint32_t kCswSignature = 0x53425355;  // "USBS"
// The most a command may move in its data phase here (the product's largest transfer is 66048
// bytes, a kernel's a few hundred KiB); a wrapper that asks for more is a phase error.
inline constexpr std::uint32_t kMaxDataLength = 16 * 1024 * 1024;

struct CommandBlockWrapper {
    std::uint32_t tag = 0;
    std::uint32_t data_length = 0;  // bytes the host expects to move in the data phase
    bool data_in = false;           // device to host
    std::uint8_t lun = 0;
    std::vector<std::uint8_t> cb;  // 1..16 bytes
};

// A wrapper is valid when it is exactly 31 bytes, carries the signature and a command block of
// 1 to 16 bytes, and its reserved bits are clear. Anything else: empty (the device then stalls
// both bulk endpoints until the host resets it).
std::optional<CommandBlockWrapper> ParseCbw(std::span<const std::uint8_t> bytes);

enum class CswStatus : std::uint8_t { Passed = 0, Failed = 1, PhaseError = 2 };

std::array<std::uint8_t, kCswSize> MakeCsw(std::uint32_t tag, std::uint32_t residue,
                                           CswStatus status);

// The bytes of a wrapper, for tests and tools that play the host.
std::array<std::uint8_t, kCbwSize> MakeCbw(const CommandBlockWrapper& cbw);

}  // namespace torvex::sim::gadget
