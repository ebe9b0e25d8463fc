#include "firmware/embedded_images.h"

#include "device/isp_commands.h"

namespace torvex {

namespace {
std::span<const std::uint8_t>* SlotFor(EmbeddedImages& images, std::uint16_t id) {
    switch (id) {
        case kBlock134Id:
            return &images.Block134;
        case kEf64InfoBlockId:
            return &images.Ef64InfoBlock;
        case kEf64ImageGroup1Id:
            return &images.Ef64ImageGroup1;
        case kEf64ImageGroup2Id:
            return &images.Ef64ImageGroup2;
        case kEf32InfoBlockId:
            return &images.Ef32InfoBlock;
        case kEf32ImageGroup1Id:
            return &images.Ef32ImageGroup1;
        case kEf32ImageGroup2Id:
            return &images.Ef32ImageGroup2;
        default:
            return nullptr;
    }
}

std::span<const std::uint8_t> Slice(std::span<const std::uint8_t> block, std::size_t offset,
                                    std::size_t length) {
    if (block.size() < offset + length) return {};
    return block.subspan(offset, length);
}
}  // namespace

LoadOutcome LoadEmbeddedImages(const FirmwareBlockStore& store, WindowPort& window,
                               EmbeddedImages& images) {
    for (std::uint16_t id : kFirmwareBlockLoadOrder) {
        const FirmwareBlockStore::Block block = store.Find(id);
        if (block.lookup == FirmwareBlockStore::Lookup::NotFound) {
            window.ShowMessageBox(u"findresource");
            return LoadOutcome::MissingBlock;
        }
        // A block too short for its slices would make a transfer read past its end: treat it as
        // one that could not be loaded.
        if (block.bytes.size() < RequiredFirmwareBlockSize(id)) {
            window.ShowMessageBox(u"loadresource");
            continue;
        }
        *SlotFor(images, id) = block.bytes;
        if (id == kBlock134Id) images.Block134Size = static_cast<std::uint32_t>(block.bytes.size());
    }
    return LoadOutcome::Loaded;
}

std::span<const std::uint8_t> ImageBlockFor(const EmbeddedImages& images, Bank bank,
                                            ImageGroup firmware_group) {
    const bool group1 =
        firmware_group == ImageGroup::Unchecked || firmware_group == ImageGroup::Group1;
    if (bank == Bank::Ef64) return group1 ? images.Ef64ImageGroup1 : images.Ef64ImageGroup2;
    return group1 ? images.Ef32ImageGroup1 : images.Ef32ImageGroup2;
}

std::span<const std::uint8_t> InfoBlockFor(const EmbeddedImages& images, Bank bank) {
    return bank == Bank::Ef64 ? images.Ef64InfoBlock : images.Ef32InfoBlock;
}

std::span<const std::uint8_t> IdentitySlice(const EmbeddedImages& images, Bank bank) {
    return Slice(ImageBlockFor(images, bank, ImageGroup::Group1), 0, kImageHeaderLength);
}

std::span<const std::uint8_t> MainMemorySlice(std::span<const std::uint8_t> image_block) {
    return Slice(image_block, kPreambleLength, kMainMemoryLength);
}

std::span<const std::uint8_t> InformationPageSlice(std::span<const std::uint8_t> info_block) {
    return Slice(info_block, kPreambleLength, kInfoPageLength);
}

BankSlices SlicesFor(const EmbeddedImages& images, Bank bank, ImageGroup firmware_group) {
    return {MainMemorySlice(ImageBlockFor(images, bank, firmware_group)),
            InformationPageSlice(InfoBlockFor(images, bank))};
}

}  // namespace torvex
