#pragma once
// A fake USB mass-storage product that the Linux back end sees like a real one: a usb_device
// with idVendor/idProduct/serial, a mass-storage interface bound to usb-storage, a SCSI device and
// a block disk with its /dev node. SG_IO on the node is decoded and carried to a backing device
// platform (the virtual product, or a scripted one) through its own PassThrough, on a handle the
// fake disk opens there at its first command; the reply travels back through the sg_io_hdr, so
// the real SG_IO code of the back end runs end to end.
//
// The ioctl handler runs on umockdev's worker thread. When the test thread waits in ioctl, the
// backing platform is only ever called from there, one request at a time; when the tool runs in
// another process and the test thread uses the backing platform meanwhile, both sides hold the
// backing lock around their calls.

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/device_platform.h"
#include "tests/platform/mock_system.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

namespace torvex::testing {

// The sysfs attribute texts of the USB device, as the kernel writes them (lower-case hex).
struct UsbIdentity {
    std::string vendor_id;              // idVendor; empty: no such attribute
    std::string product_id;             // idProduct; empty: no such attribute
    std::optional<std::string> serial;  // absent: the device has no serial attribute
};

// The product's identities in each of its modes.
UsbIdentity MaskCodeIdentity();     // 0a81:0320
UsbIdentity ProtectIspIdentity();   // 0a81:0321
UsbIdentity ApplicationIdentity();  // 2175:5001, an ordinary serial
UsbIdentity OtaIdentity();          // 2175:5001, serial beginning "00000000EF32"

struct FakeUsbDiskOptions {
    UsbIdentity identity = ProtectIspIdentity();
    std::optional<std::string> interface_class = "08";  // absent: no bInterfaceClass attribute
    std::string driver = "usb-storage";                 // empty: the interface has no driver
    std::string scsi_type = "0";                        // "5": a CD-ROM LUN
    std::string scsi_driver = "sd";                     // "sr": a CD-ROM LUN
    bool under_usb_device = true;  // false: the interface hangs under no usb_device
    // Empty: a fresh name and number. Set: the disk takes this name, node and number (a disk
    // that arrives where an earlier one was).
    std::optional<FakeDiskName> name;
    // Held around every call into the backing platform; null: no lock.
    std::mutex* backing_lock = nullptr;
    // Empty: a fresh USB port. Set: the USB device sits on this port ("1-<port>"), as a product
    // that comes back on the port it left.
    std::optional<int> usb_port;
};

// What the node received in one SG_IO, as the kernel would have seen it.
struct SgIoSeen {
    std::vector<std::uint8_t> cdb;
    int dxfer_direction = 0;
    unsigned dxfer_len = 0;
    unsigned timeout_ms = 0;
    unsigned mx_sb_len = 0;
};

// An answer given by the node itself instead of the backing platform (transport faults).
struct RawSgIoAnswer {
    int error_number = 0;  // non-zero: the ioctl fails with this errno
    std::uint8_t status = 0;
    std::uint16_t host_status = 0;
    std::uint16_t driver_status = 0;
    std::vector<std::uint8_t> sense;
};

class FakeUsbDisk {
  public:
    // Plugs the disk in ("add" reaches udev monitors). backing_path is what backing's
    // OpenExclusive takes to reach the device that answers behind this node.
    FakeUsbDisk(MockSystem& system, const FakeUsbDiskOptions& options, DevicePlatform& backing,
                std::u16string backing_path = u"");
    // A mass-storage disk bound to usb-storage, with a fresh name, of the given USB identity.
    FakeUsbDisk(MockSystem& system, const UsbIdentity& identity, DevicePlatform& backing,
                std::u16string backing_path = u"");
    // Unplugs the disk if it is still plugged, closes the backing handle and detaches the node.
    ~FakeUsbDisk();
    FakeUsbDisk(const FakeUsbDisk&) = delete;
    FakeUsbDisk& operator=(const FakeUsbDisk&) = delete;

    const FakeDiskName& Name() const { return name_; }
    const std::string& DevNode() const { return name_.devnode; }
    std::u16string Path() const;  // the devnode as the back end lists it
    dev_t DeviceNumber() const;
    const std::string& SysPath() const { return syspaths_.back(); }  // the block disk's

    // "remove" reaches udev monitors, then the sysfs entries and the node go. An fd opened
    // before still reaches the node; its commands fail with ENODEV, as on a real unplug.
    void Unplug();
    bool Plugged() const { return plugged_; }

    // The next SG_IO requests are answered with these, in order, before the backing platform.
    void QueueRawAnswer(RawSgIoAnswer answer);

    // Adds partition `number` of the disk (its node and sysfs entry); returns its node and number.
    std::pair<std::string, dev_t> AddPartition(unsigned number);

    // Every SG_IO that reached the node, in order.
    std::vector<SgIoSeen> Seen() const;
    std::size_t SeenCount() const;

  private:
    struct Request;
    static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    void Answer(UMockdevIoctlClient* client, Request& request);
    int Forward(Request& request);  // errno for the ioctl, 0 when it completes
    std::unique_lock<std::mutex> LockBacking() const;

    MockSystem& system_;
    DevicePlatform& backing_;
    std::u16string backing_path_;
    std::mutex* backing_lock_;
    FakeDiskName name_;
    std::vector<std::string> syspaths_;  // usb device, interface, scsi device, block disk
    std::vector<std::string> partitions_;
    UMockdevIoctlBase* handler_ = nullptr;
    bool plugged_ = false;

    mutable std::mutex mutex_;  // the fields below are shared with umockdev's worker thread
    bool gone_ = false;
    DeviceHandle backing_handle_ = kInvalidDeviceHandle;
    std::deque<RawSgIoAnswer> raw_answers_;
    std::vector<SgIoSeen> seen_;
};

}  // namespace torvex::testing
