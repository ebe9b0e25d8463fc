#include "simulator/gadget/fat_image.h"

#include <algorithm>
#include <cstring>

namespace torvex::sim::gadget {

namespace {

constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kRootEntries = 224;
constexpr std::uint32_t kMaxFat12Clusters = 4084;

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

void PutText(std::vector<std::uint8_t>& b, std::size_t at, std::string_view text,
             std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        b[at + i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
}

}  // namespace

std::vector<std::uint8_t> MakeFatImage(std::size_t bytes, std::string_view label) {
    bytes = std::clamp(bytes, kMinFatImageBytes, kMaxFatImageBytes);
    const auto sectors = static_cast<std::uint32_t>(bytes / kSector);
    const std::uint32_t root_sectors = kRootEntries * 32 / kSector;
    std::uint32_t per_cluster = 1;
    while ((sectors - 1 - root_sectors) / per_cluster > kMaxFat12Clusters) per_cluster *= 2;
    const std::uint32_t clusters = (sectors - 1 - root_sectors) / per_cluster;
    const std::uint32_t fat_sectors = ((clusters + 2) * 3 / 2 + kSector - 1) / kSector;

    std::vector<std::uint8_t> image(static_cast<std::size_t>(sectors) * kSector, 0);
    const std::uint8_t jump[] = {0xEB, 0x3C, 0x90};
    std::memcpy(image.data(), jump, sizeof jump);
    PutText(image, 3, "MSDOS5.0", 8);
    Put16(image, 11, kSector);
    image[13] = static_cast<std::uint8_t>(per_cluster);
    Put16(image, 14, 1);  // reserved sectors: the boot sector
    image[16] = 2;        // two FATs
    Put16(image, 17, kRootEntries);
    if (sectors < 65536)
        Put16(image, 19, sectors);
    else
        Put32(image, 32, sectors);
    image[21] = 0xF8;  // fixed medium
    Put16(image, 22, fat_sectors);
    Put16(image, 24, 32);  // sectors per track
    Put16(image, 26, 64);  // heads
    image[36] = 0x80;
    image[38] = 0x29;  // extended boot signature: serial, label and type follow
    Put32(image, 39, 0x20752175);
    PutText(image, 43, label.substr(0, 11), 11);
    PutText(image, 54, "FAT12", 8);
    image[510] = 0x55;
    image[511] = 0xAA;

    for (std::uint32_t fat = 0; fat < 2; ++fat) {
        const std::size_t at = (1 + static_cast<std::size_t>(fat) * fat_sectors) * kSector;
        image[at] = 0xF8;
        image[at + 1] = 0xFF;
        image[at + 2] = 0xFF;
    }
    const std::size_t root = (1 + 2 * static_cast<std::size_t>(fat_sectors)) * kSector;
    PutText(image, root, label.substr(0, 11), 11);
    image[root + 11] = 0x08;  // the volume label entry
    return image;
}

}  // namespace torvex::sim::gadget
