#include "tests/platform/virtual_product_node.h"

#include <cstdio>

namespace torvex::testing {

UsbIdentity SysfsIdentity(const sim::UsbIdentity& identity) {
    char vendor[8];
    char product[8];
    std::snprintf(vendor, sizeof vendor, "%04x", static_cast<unsigned>(identity.vendor_id));
    std::snprintf(product, sizeof product, "%04x", static_cast<unsigned>(identity.product_id));
    return UsbIdentity{vendor, product, identity.serial};
}

VirtualProductNode::VirtualProductNode(MockSystem& system, sim::VirtualPlatform& platform,
                                       sim::DiskIndex disk)
    : system_(system),
      platform_(platform),
      index_(disk),
      name_(system.NextDiskName()),
      usb_port_(system.NextUsbPort()) {
    platform_.Product(index_).Config().check_direction_without_data = false;
    platform_.SetEventListener([this](const sim::DeviceEvent& event) { OnEvent(event); });
    if (platform_.IsPresent(index_)) Plug();
}

VirtualProductNode::~VirtualProductNode() {
    platform_.SetEventListener(nullptr);
}

std::u16string VirtualProductNode::Path() const {
    return std::u16string(name_.devnode.begin(), name_.devnode.end());
}

void VirtualProductNode::AdvanceClock(std::uint64_t ms) {
    std::vector<sim::DeviceEvent> due;
    {
        std::lock_guard lock(backing_mutex_);
        deferred_ = &due;
        platform_.AdvanceClock(ms);
        deferred_ = nullptr;
    }
    for (const sim::DeviceEvent& event : due) Apply(event);
}

void VirtualProductNode::OnEvent(const sim::DeviceEvent& event) {
    if (deferred_ != nullptr) {
        deferred_->push_back(event);
        return;
    }
    Apply(event);
}

void VirtualProductNode::Apply(const sim::DeviceEvent& event) {
    events_.push_back(event);
    if (event.disk != index_) return;
    if (event.type == kDeviceRemoveComplete) disk_.reset();
    if (event.type != kDeviceArrival) return;
    std::unique_lock lock(backing_mutex_);
    const bool present = platform_.IsPresent(index_);
    lock.unlock();
    if (present) Plug();
}

void VirtualProductNode::Plug() {
    disk_.reset();  // the node is re-attached for the disk that arrives
    FakeUsbDiskOptions options;
    options.name = name_;
    options.usb_port = usb_port_;
    options.backing_lock = &backing_mutex_;
    std::unique_lock lock(backing_mutex_);
    options.identity = SysfsIdentity(platform_.Product(index_).Usb());
    const std::u16string path = platform_.PathOf(index_);
    lock.unlock();
    disk_ = std::make_unique<FakeUsbDisk>(system_, options, platform_, path);
}

}  // namespace torvex::testing
