#pragma once
// The virtual product behind a fake node: a fake USB disk that shows the product's current USB
// identity and whose SG_IO the virtual platform answers, so the tool reaches the product through
// the real Linux back end. The node follows the product: the platform's removal event unplugs
// the fake disk (udev monitors see "remove"), its arrival event plugs a disk with the product's
// new identity under the same name, number and node (udev monitors see "add"), as a kernel
// usually names a disk that comes back.
//
// It takes the platform's event listener; the test drives time with platform.AdvanceClock and
// the tool hears of device changes only through udev. When the tool runs in another process, its
// SG_IO reaches the platform on umockdev's worker thread while the test thread keeps time: the
// test then calls this node's AdvanceClock instead, which shares a lock with the forwarding. SG_IO
// cannot carry a direction flag when no data moves, so the product is told not to hold such
// commands to theirs.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "simulator/virtual_platform.h"
#include "tests/platform/fake_usb_disk.h"

namespace torvex::testing {

// The sysfs attributes a product in this code shows (lower-case hex, as the kernel writes).
UsbIdentity SysfsIdentity(const sim::UsbIdentity& identity);

class VirtualProductNode {
  public:
    VirtualProductNode(MockSystem& system, sim::VirtualPlatform& platform, sim::DiskIndex disk = 0);
    ~VirtualProductNode();
    VirtualProductNode(const VirtualProductNode&) = delete;
    VirtualProductNode& operator=(const VirtualProductNode&) = delete;

    // The fake disk while the product is present; null while it is away.
    FakeUsbDisk* Disk() const { return disk_.get(); }
    // Name, node and number the product's disk has each time it is plugged.
    const FakeDiskName& Name() const { return name_; }
    // The USB port it is plugged into each time ("1-3"): the port path the back end lists.
    std::string PortPath() const { return "1-" + std::to_string(usb_port_); }
    std::u16string Path() const;
    // The platform's events, in order, as they were applied to the node.
    const std::vector<sim::DeviceEvent>& Events() const { return events_; }

    // Advances the platform's clock while no forwarded SG_IO is inside the platform, then
    // unplugs and plugs the node as the events of that time say. The testbed is changed without
    // the lock held: umockdev may wait for its worker thread, which may be waiting for the lock.
    void AdvanceClock(std::uint64_t ms);

  private:
    void OnEvent(const sim::DeviceEvent& event);
    void Apply(const sim::DeviceEvent& event);
    void Plug();

    MockSystem& system_;
    sim::VirtualPlatform& platform_;
    sim::DiskIndex index_;
    FakeDiskName name_;
    int usb_port_;
    std::unique_ptr<FakeUsbDisk> disk_;
    std::vector<sim::DeviceEvent> events_;
    std::mutex backing_mutex_;  // held by every call into platform_ when the tool runs elsewhere
    std::vector<sim::DeviceEvent>* deferred_ = nullptr;  // set: OnEvent queues events here
};

}  // namespace torvex::testing
