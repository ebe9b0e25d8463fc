#include "simulator/virtual_platform.h"

#include <cstdlib>

#include "simulator/command_table.h"

namespace torvex::sim {

namespace {

std::u16string Widen(const std::string& text) {
    std::u16string wide;
    for (char c : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return wide;
}

PassThroughResult Undelivered(TransportError error, std::string diagnostic) {
    PassThroughResult result;
    result.error = error;
    result.diagnostic = std::move(diagnostic);
    return result;
}

}  // namespace

PlainDisk PlainDisk::NonUsb() {
    return {std::u16string(u"SCSI\\Disk\0GenDisk\0", 18),
            u"PCI\\VEN_8086&DEV_2822&SUBSYS_00000000&REV_00\\3&11583659&0&FA"};
}

PlainDisk PlainDisk::Usb(std::uint16_t vendor_id, std::uint16_t product_id, std::string serial) {
    return {kUsbStorageCompatibleIds,
            ParentDeviceId(UsbIdentity{vendor_id, product_id, std::move(serial)})};
}

VirtualPlatform::VirtualPlatform() = default;
VirtualPlatform::~VirtualPlatform() = default;

VirtualProduct& VirtualPlatform::AddProduct(const ProductConfig& config, bool present) {
    Disk disk;
    disk.product = std::make_unique<VirtualProduct>(config);
    disk.present = present;
    disk.generation = present ? 1 : 0;
    disks_.push_back(std::move(disk));
    return *disks_.back().product;
}

DiskIndex VirtualPlatform::AddPlainDisk(const PlainDisk& plain, bool present) {
    Disk disk;
    disk.plain = plain;
    disk.present = present;
    disk.generation = present ? 1 : 0;
    disks_.push_back(std::move(disk));
    return disks_.size() - 1;
}

VirtualProduct& VirtualPlatform::Product(DiskIndex disk) {
    if (disk == kNoDisk) {
        for (auto& d : disks_)
            if (d.product) return *d.product;
        std::abort();
    }
    if (!At(disk).product) std::abort();
    return *At(disk).product;
}

DiskIndex VirtualPlatform::IndexOf(const VirtualProduct& product) const {
    for (DiskIndex i = 0; i < disks_.size(); ++i)
        if (disks_[i].product.get() == &product) return i;
    return kNoDisk;
}

VirtualPlatform::Disk& VirtualPlatform::At(DiskIndex disk) {
    return disks_.at(disk);
}
const VirtualPlatform::Disk& VirtualPlatform::At(DiskIndex disk) const {
    return disks_.at(disk);
}

bool VirtualPlatform::IsPresent(DiskIndex disk) const {
    return At(disk).present;
}

std::u16string VirtualPlatform::PathOf(DiskIndex disk) const {
    const Disk& d = At(disk);
    if (!d.present) return {};
    return Widen("virtual://disk" + std::to_string(disk) + "/" + std::to_string(d.generation));
}

std::u16string VirtualPlatform::PortOf(DiskIndex disk) {
    return Widen("virtual-" + std::to_string(disk + 1));
}

void VirtualPlatform::SetHeldByOtherProgram(DiskIndex disk, bool held) {
    At(disk).held_by_other = held;
}

void VirtualPlatform::FailListing(ListingFailure failure, std::size_t at_interface,
                                  std::uint32_t times) {
    listing_faults_.push_back({failure, at_interface, times});
}

DiskListing VirtualPlatform::ListDiskInterfaces() {
    DiskListing listing;
    ListingFault* fault = listing_faults_.empty() ? nullptr : &listing_faults_.front();
    if (fault != nullptr && fault->failure == ListingFailure::InterfaceSet) {
        listing.failure = ListingFailure::InterfaceSet;
    } else {
        for (DiskIndex i = 0; i < disks_.size(); ++i) {
            if (!disks_[i].present) continue;
            if (fault != nullptr && listing.disks.size() == fault->at) {
                listing.failure = fault->failure;
                break;
            }
            const Disk& d = disks_[i];
            if (d.product)
                listing.disks.push_back({kUsbStorageCompatibleIds, ParentDeviceId(d.product->Usb()),
                                         PathOf(i), PortOf(i)});
            else
                listing.disks.push_back(
                    {d.plain.compatible_ids, d.plain.parent_device_id, PathOf(i), PortOf(i)});
        }
    }
    // times 0: the listing fails every time.
    if (fault != nullptr && listing.failure != ListingFailure::None && fault->times != 0 &&
        --fault->times == 0)
        listing_faults_.erase(listing_faults_.begin());
    return listing;
}

DeviceHandle VirtualPlatform::OpenExclusive(std::u16string_view path) {
    last_open_error_ = "no disk at this path (error 2)";
    for (DiskIndex i = 0; i < disks_.size(); ++i) {
        Disk& d = disks_[i];
        if (!d.present || PathOf(i) != path) continue;
        if (d.held_by_other || d.holder != kInvalidDeviceHandle) {
            last_open_error_ = "the disk is held open by another program (error 32)";
            break;
        }
        const DeviceHandle id = static_cast<DeviceHandle>(handles_.size()) + 3;
        handles_.push_back({id, i, d.generation, true});
        d.holder = id;
        ++opens_;
        last_open_error_.clear();
        return id;
    }
    ++failed_opens_;
    return kInvalidDeviceHandle;
}

std::u16string VirtualPlatform::OpenedParentDeviceId(DeviceHandle handle) const {
    const auto index = static_cast<std::size_t>(handle - 3);
    if (handle < 3 || index >= handles_.size() || !handles_[index].open) return {};
    const Disk& d = At(handles_[index].disk);
    return d.product ? ParentDeviceId(d.product->Usb()) : d.plain.parent_device_id;
}

void VirtualPlatform::Close(DeviceHandle handle) {
    if (handle == kInvalidDeviceHandle) return;
    Handle* h = OpenHandle(handle);
    if (h == nullptr) {
        ++bad_closes_;
        return;
    }
    h->open = false;
    ++closes_;
    Disk& d = At(h->disk);
    if (d.holder == handle) d.holder = kInvalidDeviceHandle;
}

VirtualPlatform::Handle* VirtualPlatform::OpenHandle(DeviceHandle handle) {
    const auto index = static_cast<std::size_t>(handle - 3);
    if (handle < 3 || index >= handles_.size() || !handles_[index].open) return nullptr;
    return &handles_[index];
}

PassThroughResult VirtualPlatform::PassThrough(DeviceHandle handle,
                                               const PassThroughRequest& request) {
    TraceEntry entry;
    entry.time_ms = now_ms_;
    entry.cdb.assign(request.cdb.begin(), request.cdb.end());
    entry.direction = request.direction;
    entry.length = request.length;
    if (request.direction == DataDirection::Out && request.length > 0) {
        if (auto found = sources_.Find(request.data_out, request.length)) {
            entry.source = found->name;
            entry.source_offset = found->offset;
            entry.source_fits = found->fits;
        }
    }
    PassThroughResult result;
    const Handle* h = OpenHandle(handle);
    if (h == nullptr) {
        result = Undelivered(TransportError::InvalidHandle, "virtual platform: invalid handle");
    } else if (!At(h->disk).present || At(h->disk).generation != h->generation) {
        entry.disk = h->disk;
        result = Undelivered(TransportError::NoDevice, "virtual platform: the device is gone");
    } else {
        entry.disk = h->disk;
        result = At(h->disk).product ? ToProduct(h->disk, request, entry)
                                     : ToPlainDisk(h->disk, request, entry);
    }
    entry.delivered = result.delivered;
    entry.scsi_status = result.scsi_status;
    entry.error = result.error;
    trace_.push_back(std::move(entry));
    return result;
}

PassThroughResult VirtualPlatform::ToPlainDisk(DiskIndex, const PassThroughRequest&,
                                               TraceEntry& entry) {
    RecordViolation(entry, "command sent to a disk that is not the product");
    PassThroughResult result;
    result.delivered = true;
    result.scsi_status = kScsiStatusCheckCondition;
    FillSense(result, kSenseIllegalRequest, 0x20, 0x00);
    return result;
}

PassThroughResult VirtualPlatform::ToProduct(DiskIndex disk, const PassThroughRequest& request,
                                             TraceEntry& entry) {
    VirtualProduct& product = *At(disk).product;
    entry.mode = product.Mode();
    ProductAnswer answer = product.Execute(request);
    if (answer.command) entry.command = std::string(CommandName(*answer.command));
    entry.accepted = answer.carried_out;
    if (!answer.violation.empty()) RecordViolation(entry, answer.violation);
    if (answer.departure) Depart(disk, *answer.departure);
    return std::move(answer.result);
}

void VirtualPlatform::RecordViolation(const TraceEntry& entry, std::string reason) {
    violations_.push_back({entry.time_ms, entry.disk, entry.mode, entry.cdb, entry.direction,
                           entry.length, std::move(reason)});
}

}  // namespace torvex::sim
