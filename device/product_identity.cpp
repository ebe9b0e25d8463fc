#include "device/product_identity.h"

#include <algorithm>
#include <array>

namespace torvex {

namespace {

// Only the first 520 bytes of the compatible-id list are read, as the product was qualified
// with; the test needs just its first 12 units.
constexpr std::size_t kCompatibleIdsUnits = 520 / 2;
constexpr std::u16string_view kUsbStorageDisk = u"USBSTOR\\Disk";

// The parent instance id fits 320 units with its terminator.
constexpr std::size_t kParentDeviceIdUnits = 320 - 1;
constexpr std::u16string_view kVidMarker = u"VID_";
constexpr std::u16string_view kPidMarker = u"PID_";
constexpr std::size_t kHexDigits = 4;
// The serial starts after "PID_", the four product digits and the backslash behind them.
constexpr std::size_t kSerialOffsetFromPid = 9;

constexpr std::u16string_view kOtaSerialPrefix = u"00000000EF32";

struct AcceptedPair {
    std::uint16_t vid;
    std::uint16_t pid;
};
constexpr std::array<AcceptedPair, 3> kAcceptedPairs = {{
    {kVendorBootAndIsp, kRunModeMaskCode},
    {kVendorBootAndIsp, kRunModeProtectIsp},
    {kVendorAppAndOta, kRunModeAppOrOta},
}};

// Four characters, each shifting the value by 4 bits; only '0'-'9' and upper-case 'A'-'F' add
// to it, so lower-case digits read as 0 (the product's identities are always upper case).
std::uint16_t ReadHexDigits(std::u16string_view digits) {
    unsigned value = 0;
    for (char16_t c : digits) {
        value <<= 4;
        if (c >= u'0' && c <= u'9') value += static_cast<unsigned>(c - u'0');
        if (c >= u'A' && c <= u'F') value += static_cast<unsigned>(c - u'A' + 10);
    }
    return static_cast<std::uint16_t>(value & 0xFFFFu);
}

}  // namespace

bool IsUsbStorageDisk(std::u16string_view compatible_ids) {
    const auto bounded = compatible_ids.substr(0, kCompatibleIdsUnits);
    return bounded.substr(0, kUsbStorageDisk.size()) == kUsbStorageDisk;
}

std::optional<UsbDeviceId> ParseParentDeviceId(std::u16string_view id) {
    id = id.substr(0, std::min(id.find(u'\0'), kParentDeviceIdUnits));
    const std::size_t vid_at = id.find(kVidMarker);
    const std::size_t pid_at = id.find(kPidMarker);
    if (vid_at == std::u16string_view::npos || pid_at == std::u16string_view::npos) return {};
    const std::size_t vid_digits = vid_at + kVidMarker.size();
    const std::size_t pid_digits = pid_at + kPidMarker.size();
    if (id.size() < vid_digits + kHexDigits || id.size() < pid_digits + kHexDigits) return {};

    UsbDeviceId parsed;
    parsed.vid = ReadHexDigits(id.substr(vid_digits, kHexDigits));
    parsed.pid = ReadHexDigits(id.substr(pid_digits, kHexDigits));
    // An id that ends right after the product digits has an empty serial.
    const std::size_t serial_at = pid_at + kSerialOffsetFromPid;
    if (serial_at <= id.size()) parsed.serial = id.substr(serial_at);
    return parsed;
}

bool IsProductPair(const UsbDeviceId& id) {
    return std::any_of(kAcceptedPairs.begin(), kAcceptedPairs.end(),
                       [&](const AcceptedPair& p) { return p.vid == id.vid && p.pid == id.pid; });
}

ProductCode CodeOf(const UsbDeviceId& id) {
    if (!IsProductPair(id)) return ProductCode::NotTheProduct;
    if (id.pid == kRunModeMaskCode) return ProductCode::MaskCode;
    if (id.pid == kRunModeProtectIsp) return ProductCode::ProtectIsp;
    return id.serial.substr(0, kOtaSerialPrefix.size()) == kOtaSerialPrefix
               ? ProductCode::Ota
               : ProductCode::Application;
}

std::optional<UsbDeviceId> ProductIdOf(const DiskInterface& disk) {
    if (!IsUsbStorageDisk(disk.compatible_ids)) return std::nullopt;
    const std::optional<UsbDeviceId> id = ParseParentDeviceId(disk.parent_device_id);
    if (!id || !IsProductPair(*id)) return std::nullopt;
    return id;
}

}  // namespace torvex
