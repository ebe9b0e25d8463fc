#include "device/windows/disk_interface_listing.h"

#include <algorithm>
#include <array>

namespace torvex::windows {

namespace {

char16_t UnitAt(std::span<const std::uint8_t> bytes, std::size_t unit) {
    const std::size_t at = unit * 2;
    return static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::u16string UnitsUpToTerminator(std::span<const std::uint8_t> bytes) {
    std::u16string text;
    for (std::size_t unit = 0; unit < bytes.size() / 2; ++unit) {
        const char16_t c = UnitAt(bytes, unit);
        if (c == u'\0') break;
        text.push_back(c);
    }
    return text;
}

// Reads one interface into `disk`; the failure that ends the listing, or None.
ListingFailure ReadInterface(DiskInterfaceSteps& steps, DiskInterface& disk) {
    // The detail's own result does not decide anything: a refused detail leaves the path empty
    // and the property read that follows tells whether the interface can be read at all.
    std::array<std::uint8_t, kInterfaceDetailBytes> detail{};
    const bool detail_filled = steps.ReadInterfaceDetail(detail);

    std::array<std::uint8_t, kCompatibleIdsBytes> ids{};
    std::uint32_t ids_bytes = 0;
    if (!steps.ReadCompatibleIds(ids, ids_bytes)) return ListingFailure::CompatibleIds;
    if (!steps.ReadParentInstance()) return ListingFailure::ParentInstance;
    std::array<char16_t, kParentDeviceIdUnits> parent{};
    if (!steps.ReadParentDeviceId(parent)) return ListingFailure::ParentDeviceId;

    disk.path = DevicePathFromDetail(detail, detail_filled);
    disk.compatible_ids = CompatibleIdsFromProperty(ids, ids_bytes);
    disk.parent_device_id = DeviceIdFromBuffer(parent);
    std::array<std::uint8_t, kLocationPathsBytes> locations{};
    std::uint32_t location_bytes = 0;
    if (steps.ReadParentLocationPaths(locations, location_bytes))
        disk.port_path = PortPathFromLocationPaths(locations, location_bytes);
    return ListingFailure::None;
}

}  // namespace

DiskListing ListDiskInterfaces(DiskInterfaceSteps& steps) {
    DiskListing listing;
    if (!steps.OpenInterfaceSet()) {
        listing.failure = ListingFailure::InterfaceSet;
        return listing;
    }
    for (std::uint32_t index = 0; steps.SelectInterface(index); ++index) {
        DiskInterface disk;
        listing.failure = ReadInterface(steps, disk);
        if (listing.failure != ListingFailure::None) break;
        listing.disks.push_back(std::move(disk));
    }
    steps.CloseInterfaceSet();
    return listing;
}

std::u16string DevicePathFromDetail(std::span<const std::uint8_t> record, bool filled) {
    if (!filled || record.size() <= kDetailPathOffset) return {};
    return UnitsUpToTerminator(record.subspan(kDetailPathOffset));
}

std::u16string CompatibleIdsFromProperty(std::span<const std::uint8_t> buffer,
                                         std::uint32_t reported_bytes) {
    const std::size_t bytes =
        std::min<std::size_t>(reported_bytes, buffer.size()) & ~std::size_t{1};
    std::u16string list;
    for (std::size_t unit = 0; unit < bytes / 2; ++unit) list.push_back(UnitAt(buffer, unit));
    // The terminators of the last string and of the list are not part of the text.
    while (!list.empty() && list.back() == u'\0') list.pop_back();
    return list;
}

std::u16string DeviceIdFromBuffer(std::span<const char16_t> buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
    return std::u16string(buffer.begin(), end);
}

std::u16string PortPathFromLocationPaths(std::span<const std::uint8_t> buffer,
                                         std::uint32_t reported_bytes) {
    const std::u16string list = CompatibleIdsFromProperty(buffer, reported_bytes);
    return list.substr(0, list.find(u'\0'));
}

}  // namespace torvex::windows
