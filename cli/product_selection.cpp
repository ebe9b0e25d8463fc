#include "cli/product_selection.h"

#include <vector>

#include "device/product_identity.h"

namespace torvex::cli {

namespace {

constexpr char kHiddenDiskError[] = "the disk is not the product this run was asked to update";

std::vector<const DiskInterface*> ProductsIn(const DiskListing& listing,
                                             const std::optional<std::u16string>& serial) {
    std::vector<const DiskInterface*> products;
    for (const DiskInterface& disk : listing.disks) {
        const std::optional<UsbDeviceId> id = ProductIdOf(disk);
        if (id && (!serial || id->serial == *serial)) products.push_back(&disk);
    }
    return products;
}

}  // namespace

void ProductSelection::Choose(const DiskListing& listing) {
    if (criteria_.port) {
        port_ = criteria_.port;
        return;
    }
    const std::vector<const DiskInterface*> products = ProductsIn(listing, criteria_.serial);
    if (products.size() > 1) {
        several_ = listing;
        return;
    }
    if (products.empty()) return;
    if (!products.front()->port_path.empty())
        port_ = products.front()->port_path;
    else if (criteria_.serial)
        serial_ = criteria_.serial;
}

bool ProductSelection::Keeps(const DiskInterface& disk) const {
    const std::optional<UsbDeviceId> product = ProductIdOf(disk);
    const bool asked = criteria_.port || criteria_.serial;
    // Without a request, disks that are not the product stay listed, as they always were.
    if (!product && !asked) return true;
    if (port_) return disk.port_path == *port_;
    if (serial_) return product && product->serial == *serial_;
    // Nothing chosen yet: with a request nothing is kept; without one, no product appeared (or
    // several did, and none may be touched).
    return !asked && !product;
}

DiskListing ProductSelection::ListDiskInterfaces() {
    DiskListing listing = Inner().ListDiskInterfaces();
    if (!port_ && !serial_ && !several_) Choose(listing);
    const bool unfiltered = !criteria_.port && !criteria_.serial && !port_ && !serial_ && !several_;
    if (unfiltered) return listing;

    DiskListing kept;
    kept.failure = listing.failure;
    hidden_paths_.clear();
    for (DiskInterface& disk : listing.disks) {
        if (Keeps(disk))
            kept.disks.push_back(std::move(disk));
        else
            hidden_paths_.insert(disk.path);
    }
    return kept;
}

DeviceHandle ProductSelection::OpenExclusive(std::u16string_view path) {
    refused_open_ = hidden_paths_.count(std::u16string(path)) != 0;
    if (refused_open_) return kInvalidDeviceHandle;
    return Inner().OpenExclusive(path);
}

std::string ProductSelection::LastOpenError() const {
    return refused_open_ ? kHiddenDiskError : Inner().LastOpenError();
}

}  // namespace torvex::cli
