#include "tests/platform/fake_usb_disk.h"

#include <scsi/sg.h>
#include <sys/sysmacros.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

namespace torvex::testing {
namespace {

constexpr std::uint16_t kHostTimeOut = 0x03;      // DID_TIME_OUT
constexpr std::uint16_t kDriverSenseFlag = 0x08;  // DRIVER_SENSE

// A NULL-terminated gchar* array over strings that outlive the call.
std::vector<gchar*> CArray(std::vector<std::string>& strings) {
    std::vector<gchar*> array;
    for (std::string& text : strings) array.push_back(text.data());
    array.push_back(nullptr);
    return array;
}

std::string AddDevice(UMockdevTestbed* testbed, const char* subsystem, const std::string& name,
                      const std::string& parent, std::vector<std::string> attributes,
                      std::vector<std::string> properties) {
    auto attribute_array = CArray(attributes);
    auto property_array = CArray(properties);
    gchar* syspath = umockdev_testbed_add_devicev(testbed, subsystem, name.c_str(),
                                                  parent.empty() ? nullptr : parent.c_str(),
                                                  attribute_array.data(), property_array.data());
    std::string path = syspath != nullptr ? syspath : "";
    g_free(syspath);
    return path;
}

std::string AddUsbDevice(UMockdevTestbed* testbed, const std::string& port,
                         const UsbIdentity& identity) {
    std::vector<std::string> attributes = {"busnum", "1", "devnum", port};
    if (!identity.vendor_id.empty())
        attributes.insert(attributes.end(), {"idVendor", identity.vendor_id});
    if (!identity.product_id.empty()) {
        attributes.insert(attributes.end(), {"idProduct", identity.product_id});
    }
    if (identity.serial) attributes.insert(attributes.end(), {"serial", *identity.serial});
    return AddDevice(testbed, "usb", "pci0000:00/0000:00:14.0/usb1/1-" + port, "", attributes,
                     {"DEVTYPE", "usb_device"});
}

FakeUsbDiskOptions OptionsFor(const UsbIdentity& identity) {
    FakeUsbDiskOptions options;
    options.identity = identity;
    return options;
}

}  // namespace

UsbIdentity MaskCodeIdentity() {
    return {"0a81", "0320", "000000000001"};
}
UsbIdentity ProtectIspIdentity() {
    return {"0a81", "0321", "000000000002"};
}
UsbIdentity ApplicationIdentity() {
    return {"2175", "5001", "0000000012345678"};
}
UsbIdentity OtaIdentity() {
    return {"2175", "5001", "00000000EF320001"};
}

struct FakeUsbDisk::Request {
    UMockdevIoctlData* header = nullptr;
    UMockdevIoctlData* cdb = nullptr;
    UMockdevIoctlData* data = nullptr;
    UMockdevIoctlData* sense = nullptr;

    Request() = default;
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    ~Request() {
        for (UMockdevIoctlData* block : {sense, data, cdb, header}) {
            if (block != nullptr) g_object_unref(block);
        }
    }
    sg_io_hdr_t& Header() const { return *reinterpret_cast<sg_io_hdr_t*>(header->data); }
};

FakeUsbDisk::FakeUsbDisk(MockSystem& system, const FakeUsbDiskOptions& options,
                         DevicePlatform& backing, std::u16string backing_path)
    : system_(system),
      backing_(backing),
      backing_path_(std::move(backing_path)),
      backing_lock_(options.backing_lock),
      name_(options.name ? *options.name : system.NextDiskName()) {
    UMockdevTestbed* testbed = system.Testbed();
    const std::string port =
        std::to_string(options.usb_port ? *options.usb_port : system.NextUsbPort());

    const std::string usb =
        options.under_usb_device ? AddUsbDevice(testbed, port, options.identity) : "";

    std::vector<std::string> interface_attributes = {"bInterfaceSubClass", "06",
                                                     "bInterfaceProtocol", "50"};
    if (options.interface_class) {
        interface_attributes.insert(interface_attributes.end(),
                                    {"bInterfaceClass", *options.interface_class});
    }
    std::vector<std::string> interface_properties = {"DEVTYPE", "usb_interface"};
    if (!options.driver.empty()) {
        interface_properties.insert(interface_properties.end(), {"DRIVER", options.driver});
    }
    const std::string interface_name = options.under_usb_device
                                           ? "1-" + port + ":1.0"
                                           : "pci0000:00/0000:00:14.0/usb1/1-" + port + ":1.0";
    const std::string interface =
        AddDevice(testbed, "usb", interface_name, usb, interface_attributes, interface_properties);
    if (!options.driver.empty()) {
        umockdev_testbed_set_attribute_link(
            testbed, interface.c_str(), "driver",
            ("../../../../../../bus/usb/drivers/" + options.driver).c_str());
    }
    const std::string scsi =
        AddDevice(testbed, "scsi", "host" + port + "/target" + port + ":0:0/" + port + ":0:0:0",
                  interface, {"vendor", "TORVEX", "model", "U-KDISK", "type", options.scsi_type},
                  {"DEVTYPE", "scsi_device", "DRIVER", options.scsi_driver});
    umockdev_testbed_set_attribute_link(
        testbed, scsi.c_str(), "driver",
        ("../../../../bus/scsi/drivers/" + options.scsi_driver).c_str());

    system.PrepareDiskNode(name_);
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&FakeUsbDisk::OnIoctl), this);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed, name_.devnode.c_str(), handler_, &error)) {
        g_clear_error(&error);
    }
    const std::string major = std::to_string(name_.major);
    const std::string minor = std::to_string(name_.minor);
    const std::string block =
        AddDevice(testbed, "block", name_.sysname, scsi, {"dev", major + ":" + minor},
                  {"DEVNAME", name_.devnode, "DEVTYPE", "disk", "MAJOR", major, "MINOR", minor});
    syspaths_ = {interface, scsi, block};
    if (!usb.empty()) syspaths_.insert(syspaths_.begin(), usb);
    plugged_ = true;
}

std::pair<std::string, dev_t> FakeUsbDisk::AddPartition(unsigned number) {
    FakeDiskName partition = name_;
    partition.sysname += std::to_string(number);
    partition.devnode += std::to_string(number);
    partition.minor += number;
    system_.PrepareDiskNode(partition);
    const std::string major = std::to_string(partition.major);
    const std::string minor = std::to_string(partition.minor);
    partitions_.push_back(AddDevice(
        system_.Testbed(), "block", partition.sysname, syspaths_.back(),
        {"dev", major + ":" + minor, "partition", std::to_string(number)},
        {"DEVNAME", partition.devnode, "DEVTYPE", "partition", "MAJOR", major, "MINOR", minor}));
    return {partition.devnode, makedev(partition.major, partition.minor)};
}

FakeUsbDisk::FakeUsbDisk(MockSystem& system, const UsbIdentity& identity, DevicePlatform& backing,
                         std::u16string backing_path)
    : FakeUsbDisk(system, OptionsFor(identity), backing, std::move(backing_path)) {}

FakeUsbDisk::~FakeUsbDisk() {
    if (plugged_) Unplug();
    GError* error = nullptr;
    umockdev_testbed_detach_ioctl(system_.Testbed(), name_.devnode.c_str(), &error);
    g_clear_error(&error);
    g_object_unref(handler_);
    if (backing_handle_ != kInvalidDeviceHandle) {
        const auto lock = LockBacking();
        backing_.Close(backing_handle_);
    }
}

std::unique_lock<std::mutex> FakeUsbDisk::LockBacking() const {
    return backing_lock_ != nullptr ? std::unique_lock(*backing_lock_)
                                    : std::unique_lock<std::mutex>();
}

std::u16string FakeUsbDisk::Path() const {
    return std::u16string(name_.devnode.begin(), name_.devnode.end());
}

dev_t FakeUsbDisk::DeviceNumber() const {
    return makedev(name_.major, name_.minor);
}

void FakeUsbDisk::Unplug() {
    if (!plugged_) return;
    {
        std::lock_guard lock(mutex_);
        gone_ = true;
    }
    UMockdevTestbed* testbed = system_.Testbed();
    // A udev monitor hears of a removal once the kernel no longer lists the disk. umockdev
    // builds the event from the device's own directory, so only the class links go first: a
    // listing in another process that the event wakes does not find the departed disk.
    for (const char* links : {"/sys/class/block/", "/sys/block/"})
        unlink((system_.RootDir() + links + name_.sysname).c_str());
    // umockdev sends nothing on removal and does not remove children: block disk first.
    for (const std::string& partition : partitions_)
        umockdev_testbed_remove_device(testbed, partition.c_str());
    umockdev_testbed_uevent(testbed, syspaths_.back().c_str(), "remove");
    for (auto path = syspaths_.rbegin(); path != syspaths_.rend(); ++path) {
        umockdev_testbed_remove_device(testbed, path->c_str());
    }
    plugged_ = false;
}

void FakeUsbDisk::QueueRawAnswer(RawSgIoAnswer answer) {
    std::lock_guard lock(mutex_);
    raw_answers_.push_back(std::move(answer));
}

std::vector<SgIoSeen> FakeUsbDisk::Seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

std::size_t FakeUsbDisk::SeenCount() const {
    std::lock_guard lock(mutex_);
    return seen_.size();
}

int FakeUsbDisk::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    if (umockdev_ioctl_client_get_request(client) != SG_IO) return FALSE;
    Request request;
    GError* error = nullptr;
    request.header = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                 sizeof(sg_io_hdr_t), &error);
    if (request.header == nullptr) {
        g_clear_error(&error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    const sg_io_hdr_t& header = request.Header();
    if (header.interface_id != 'S' || header.cmd_len == 0 || header.cmd_len > 16 ||
        header.iovec_count != 0 || header.cmdp == nullptr ||
        (header.dxfer_len > 0 && header.dxfer_direction != SG_DXFER_NONE &&
         header.dxferp == nullptr)) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    auto resolve = [&](std::size_t offset, std::size_t length) {
        UMockdevIoctlData* block =
            umockdev_ioctl_data_resolve(request.header, offset, length, &error);
        g_clear_error(&error);
        return block;
    };
    request.cdb = resolve(offsetof(sg_io_hdr_t, cmdp), header.cmd_len);
    if (header.dxfer_len > 0 && header.dxfer_direction != SG_DXFER_NONE) {
        request.data = resolve(offsetof(sg_io_hdr_t, dxferp), header.dxfer_len);
    }
    if (header.mx_sb_len > 0 && header.sbp != nullptr) {
        request.sense = resolve(offsetof(sg_io_hdr_t, sbp), header.mx_sb_len);
    }
    static_cast<FakeUsbDisk*>(self)->Answer(client, request);
    return TRUE;
}

namespace {

// Puts sense bytes where the caller's sense buffer is, as far as it reaches.
std::uint8_t WriteSense(const std::uint8_t* sense, std::size_t length, UMockdevIoctlData* target) {
    if (target == nullptr) return 0;
    const std::size_t written =
        std::min<std::size_t>(length, static_cast<std::size_t>(target->data_len));
    std::copy_n(sense, written, target->data);
    return static_cast<std::uint8_t>(written);
}

// The errno for an undelivered request; 0 for a time-out, which the kernel reports in the header.
int ErrnoOfUndelivered(const PassThroughResult& result, sg_io_hdr_t& header) {
    switch (result.error) {
        case TransportError::NoDevice:
            return ENODEV;
        case TransportError::PermissionDenied:
            return EPERM;
        case TransportError::Timeout:
            header.host_status = kHostTimeOut;
            return 0;
        default:
            return EIO;
    }
}

}  // namespace

void FakeUsbDisk::Answer(UMockdevIoctlClient* client, Request& request) {
    sg_io_hdr_t& header = request.Header();
    if (request.cdb == nullptr ||
        (header.dxfer_len > 0 && header.dxfer_direction != SG_DXFER_NONE &&
         request.data == nullptr)) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    std::optional<RawSgIoAnswer> raw;
    bool gone = false;
    {
        std::lock_guard lock(mutex_);
        seen_.push_back(SgIoSeen{
            std::vector<std::uint8_t>(request.cdb->data, request.cdb->data + header.cmd_len),
            header.dxfer_direction, header.dxfer_len, header.timeout, header.mx_sb_len});
        if (!raw_answers_.empty()) {
            raw = std::move(raw_answers_.front());
            raw_answers_.pop_front();
        }
        gone = gone_;
    }
    int error_number = 0;
    if (raw) {
        header.status = raw->status;
        header.host_status = raw->host_status;
        header.driver_status = raw->driver_status;
        header.sb_len_wr = WriteSense(raw->sense.data(), raw->sense.size(), request.sense);
        error_number = raw->error_number;
    } else if (gone) {
        error_number = ENODEV;
    } else {
        error_number = Forward(request);
    }
    umockdev_ioctl_client_complete(client, error_number != 0 ? -1 : 0, error_number);
}

int FakeUsbDisk::Forward(Request& request) {
    sg_io_hdr_t& header = request.Header();
    // Only umockdev's worker thread gets here, so the backing handle needs no lock.
    const auto lock = LockBacking();
    if (backing_handle_ == kInvalidDeviceHandle)
        backing_handle_ = backing_.OpenExclusive(backing_path_);
    if (backing_handle_ == kInvalidDeviceHandle) return EBUSY;

    PassThroughRequest forwarded;
    forwarded.cdb = std::span<const std::uint8_t>(request.cdb->data, header.cmd_len);
    forwarded.length = request.data != nullptr ? header.dxfer_len : 0;
    // A command without data has no direction on SG_IO; it travels as data-in.
    forwarded.direction =
        header.dxfer_direction == SG_DXFER_TO_DEV ? DataDirection::Out : DataDirection::In;
    if (request.data != nullptr && forwarded.direction == DataDirection::In) {
        forwarded.data_in = request.data->data;
    } else if (request.data != nullptr) {
        forwarded.data_out = request.data->data;
    }
    forwarded.timeout_seconds = header.timeout / 1000;

    const PassThroughResult result = backing_.PassThrough(backing_handle_, forwarded);
    header.status = result.scsi_status;
    if (!result.delivered) return ErrnoOfUndelivered(result, header);
    header.masked_status = static_cast<unsigned char>((result.scsi_status >> 1) & 0x7F);
    header.sb_len_wr = WriteSense(result.sense.data(), result.sense_length, request.sense);
    header.driver_status = header.sb_len_wr > 0 ? kDriverSenseFlag : 0;
    header.resid = static_cast<int>(result.residual);
    header.info = (header.status != 0 || header.sb_len_wr > 0) ? SG_INFO_CHECK : SG_INFO_OK;
    return 0;
}

}  // namespace torvex::testing
