#pragma once
// The seven firmware blocks the tool carries, located once at start-up and never changed. They
// are enciphered for the product and opaque to the tool: it only sends fixed slices of them.

#include <cstdint>
#include <span>

#include "base/window_port.h"
#include "firmware/firmware_block_table.h"
#include "firmware/version_classes.h"

namespace torvex {

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
    Loaded,        // every block looked up (some may have failed to load: "loadresource")
    MissingBlock,  // a block was not found: "findresource", the later ones were not looked up
};

// Looks every block up in load order. A block that is not found shows "findresource" and stops;
// one that is found but too short to serve its slices shows "loadresource", stays absent, and
// loading goes on.
LoadOutcome LoadEmbeddedImages(const FirmwareBlockStore& store, WindowPort& window,
                               EmbeddedImages& images);

enum class Bank { Ef64, Ef32_0 };

// Image block for a bank and FirmwareGroup: Unchecked and Group1 select Group_1, anything else
// Group_2.
std::span<const std::uint8_t> ImageBlockFor(const EmbeddedImages& images, Bank bank,
                                            ImageGroup firmware_group);
std::span<const std::uint8_t> InfoBlockFor(const EmbeddedImages& images, Bank bank);

// The slices the tool sends; each is empty when its block is absent or too short.
// Identity slice: the first 2048 bytes of the bank's Group_1 block, whatever the group.
std::span<const std::uint8_t> IdentitySlice(const EmbeddedImages& images, Bank bank);
// Main memory: 65536 bytes from offset 512 of an image block.
std::span<const std::uint8_t> MainMemorySlice(std::span<const std::uint8_t> image_block);
// Information page: 128 bytes from offset 512 of an information block.
std::span<const std::uint8_t> InformationPageSlice(std::span<const std::uint8_t> info_block);

// What a programming procedure writes into a bank: main memory from the group's image block and
// the information page from the bank's information block; each empty when its block is absent.
struct BankSlices {
    std::span<const std::uint8_t> main_memory;
    std::span<const std::uint8_t> info_page;
};
BankSlices SlicesFor(const EmbeddedImages& images, Bank bank, ImageGroup firmware_group);

}  // namespace torvex
