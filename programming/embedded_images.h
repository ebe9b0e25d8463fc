#pragma once
// The seven firmware blocks the tool carries, located once at start-up and never changed. They
// are enciphered for the product and opaque to the tool: it only sends fixed slices of them.

#include <array>
#include <cstdint>
#include <span>

#include "app/window_port.h"

namespace torvex {

inline constexpr std::uint16_t kBlock134Id = 134;
inline constexpr std::uint16_t kEf64InfoBlockId = 138;
inline constexpr std::uint16_t kEf64ImageGroup1Id = 162;
inline constexpr std::uint16_t kEf64ImageGroup2Id = 163;
inline constexpr std::uint16_t kEf32InfoBlockId = 161;
inline constexpr std::uint16_t kEf32ImageGroup1Id = 156;
inline constexpr std::uint16_t kEf32ImageGroup2Id = 164;

// The order in which start-up looks the blocks up.
inline constexpr std::array<std::uint16_t, 7> kFirmwareBlockLoadOrder = {
    kBlock134Id,      kEf64InfoBlockId,   kEf64ImageGroup1Id, kEf64ImageGroup2Id,
    kEf32InfoBlockId, kEf32ImageGroup1Id, kEf32ImageGroup2Id};

inline constexpr std::size_t kBlock134Size = 256;
inline constexpr std::size_t kInfoBlockSize = 768;
inline constexpr std::size_t kImageBlockSize = 66048;
inline constexpr std::size_t kPreambleLength = 512;  // never sent by a programming step

// Size a block must have to serve every slice taken from it.
std::size_t RequiredFirmwareBlockSize(std::uint16_t id);

// Where the blocks come from: compiled into the program, or a test's own bytes.
class FirmwareBlockStore {
public:
    enum class Lookup { Found, NotFound };
    struct Block {
        Lookup lookup = Lookup::NotFound;
        std::span<const std::uint8_t> bytes;
    };
    virtual ~FirmwareBlockStore() = default;
    virtual Block Find(std::uint16_t id) const = 0;
};

// Block addresses; an empty span is an absent block, from which nothing is ever sent.
struct EmbeddedImages {
    std::span<const std::uint8_t> Block134;
    std::uint32_t Block134Size = 0;
    std::span<const std::uint8_t> Ef64InfoBlock;
    std::span<const std::uint8_t> Ef64ImageGroup1;
    std::span<const std::uint8_t> Ef64ImageGroup2;
    std::span<const std::uint8_t> Ef32InfoBlock;
    std::span<const std::uint8_t> Ef32ImageGroup1;
    std::span<const std::uint8_t> Ef32ImageGroup2;
};

enum class LoadOutcome {
    Loaded,           // every block looked up (some may have failed to load: "loadresource")
    MissingBlock,     // a block was not found: "findresource", the later ones were not looked up
};

// Looks every block up in load order. A block that is not found shows "findresource" and stops;
// one that is found but too short to serve its slices shows "loadresource", stays absent, and
// loading goes on.
LoadOutcome LoadEmbeddedImages(const FirmwareBlockStore& store, WindowPort& window,
                               EmbeddedImages& images);

enum class Bank { Ef64, Ef32_0 };

// Image block for a bank and FirmwareGroup: 0 and 1 select Group_1, anything else Group_2.
std::span<const std::uint8_t> ImageBlockFor(const EmbeddedImages& images, Bank bank,
                                            std::uint8_t firmware_group);
std::span<const std::uint8_t> InfoBlockFor(const EmbeddedImages& images, Bank bank);

// The slices the tool sends; each is empty when its block is absent or too short.
// Identity slice: the first 2048 bytes of the bank's Group_1 block, whatever the group.
std::span<const std::uint8_t> IdentitySlice(const EmbeddedImages& images, Bank bank);
// Main memory: 65536 bytes from offset 512 of an image block.
std::span<const std::uint8_t> MainMemorySlice(std::span<const std::uint8_t> image_block);
// Information page: 128 bytes from offset 512 of an information block.
std::span<const std::uint8_t> InformationPageSlice(std::span<const std::uint8_t> info_block);

}  // namespace torvex
