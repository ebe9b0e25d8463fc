#pragma once
// What --list shows, and what the runner prints when it refuses to choose among several products:
// every USB mass-storage disk that discovery sees, with its port, USB identity and the code it
// runs; for a product, when asked, also the firmware identities of both banks and of the carried
// images and what an update would do. Those are read by the tool's own discovery, boot-code query
// and version checks, which only ever ask (identity reads and the key selection before them):
// nothing is erased, programmed or restarted.

#include <optional>
#include <string>
#include <vector>

#include "app/controller_state.h"
#include "device/device_platform.h"
#include "device/product_identity.h"
#include "firmware/embedded_images.h"
#include "firmware/firmware_info_block.h"

namespace torvex::cli {

struct ListedDisk {
    std::u16string port;  // empty when the platform cannot tell
    std::u16string path;  // what the platform opens
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::u16string serial;
    ProductCode code = ProductCode::NotTheProduct;

    // Filled only when identities were read.
    bool identities_read = false;
    std::u16string open_error;          // the product could not be opened: why
    std::optional<MaskCode> mask_code;  // mask code: the boot-code query's answer
    std::optional<FirmwareInfoBlock> ef64_bank;
    std::optional<FirmwareInfoBlock> ef32_bank;
    std::optional<FirmwareInfoBlock> ef64_image;
    std::optional<FirmwareInfoBlock> ef32_image;
    std::string update;  // what an update would do, in a few words
};

struct DiskList {
    std::vector<ListedDisk> disks;
    ListingFailure failure = ListingFailure::None;
};

// The USB disks of a listing, without asking anything of them.
DiskList DiskListOf(const DiskListing& listing);

// Lists the USB disks of `platform`; each product is then opened and asked for its identities,
// one product after the other.
DiskList ReadDiskList(DevicePlatform& platform, const FirmwareBlockStore& blocks);

}  // namespace torvex::cli
