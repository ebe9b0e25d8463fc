// The Linux enumeration's handling of sysfs attribute strings of any content: the interface class
// and driver that make a disk a USB mass-storage disk, idVendor/idProduct/serial that make its
// parent id; then that id read back by discovery, which must see the same vendor and product.
//
// Input: a presence byte, then five length-prefixed strings (bInterfaceClass, driver, idVendor,
// idProduct, serial), each possibly holding NUL bytes.

#include <optional>

#include "app/controller_state_update.h"
#include "base/text.h"
#include "device/linux/usb_disk_identity.h"
#include "device/usb_found.h"
#include "fuzz/fuzz_tool.h"

namespace torvex::fuzz {
namespace {

using namespace linux_backend;

struct Attributes {
    std::string value[5];
    bool present[5] = {};
    const char* Get(int i) const { return present[i] ? value[i].c_str() : nullptr; }
};

// What the enumeration lists for a disk with these attributes.
DiskInterface ListedDisk(const Attributes& a) {
    DiskInterface disk;
    disk.path = u"/dev/sdz";
    disk.compatible_ids = std::u16string(kOtherDiskCompatibleId);
    if (!IsMassStorageInterface(a.Get(0), a.Get(1))) return disk;
    const auto vid = UsbIdDigits(a.Get(2));
    const auto pid = UsbIdDigits(a.Get(3));
    if (!vid || !pid) return disk;
    for (const auto* digits : {&*vid, &*pid}) {
        Require(digits->size() == 4, "an id is four digits");
        for (char16_t c : *digits)
            Require((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'),
                    "id digits are upper-case hex");
    }
    const std::u16string serial = SerialText(a.Get(4));
    Require(serial.size() <= kSerialMaxUnits, "the serial is cut to its room");
    disk.compatible_ids = std::u16string(kUsbMassStorageCompatibleId);
    disk.parent_device_id = ParentDeviceId(*vid, *pid, serial);
    Require(disk.parent_device_id.size() <= kParentDeviceIdMaxUnits, "the parent id fits");
    return disk;
}

// Discovery reads the identity back exactly as the attributes gave it.
void ReadBack(FuzzBytes& in, const DiskInterface& disk) {
    auto tool = std::make_unique<FuzzTool>(in);
    tool->platform.listing.disks.push_back(disk);
    USBFound(tool->context);
    tool->RequireHandlesBalanced();
    if (disk.parent_device_id.empty()) {
        Require(tool->window.lines.size() == 1, "an ordinary disk is passed by without a line");
        return;
    }
    const std::u16string expected = u"VID:" + disk.parent_device_id.substr(8, 4) + u" PID:" +
                                    disk.parent_device_id.substr(17, 4);
    Require(tool->window.lines.front() == expected, "discovery sees the enumerated identity");
}

}  // namespace
}  // namespace torvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torvex::fuzz;
    FuzzBytes in(data, size);
    Attributes attributes;
    const std::uint8_t presence = in.Byte();
    for (int i = 0; i < 5; ++i) {
        attributes.present[i] = (presence >> i & 1u) != 0;
        attributes.value[i] = in.Text8();
    }
    ReadBack(in, ListedDisk(attributes));
    return 0;
}
