#include "device/usb_found.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "base/controller_state.h"
#include "base/status_log.h"
#include "base/text.h"
#include "device/device_platform.h"
#include "device/product_connection.h"

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

// The "SN:%s" line fits 80 units with its terminator.
constexpr std::size_t kSerialLineUnits = 80 - 1;
constexpr std::u16string_view kSerialLinePrefix = u"SN:";

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

struct UsbIdentity {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::u16string_view serial;
};

bool IsUsbStorageDisk(std::u16string_view compatible_ids) {
    const auto bounded = compatible_ids.substr(0, kCompatibleIdsUnits);
    return bounded.substr(0, kUsbStorageDisk.size()) == kUsbStorageDisk;
}

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

// Reads "USB\VID_vvvv&PID_pppp\serial". An id without "VID_" or "PID_", or with fewer than four
// characters after either, is not a USB device we can read: it yields nothing and the interface
// is skipped without a line, rather than reading past the end of the id.
std::optional<UsbIdentity> ParseParentDeviceId(std::u16string_view id) {
    id = id.substr(0, std::min(id.find(u'\0'), kParentDeviceIdUnits));
    const std::size_t vid_at = id.find(kVidMarker);
    const std::size_t pid_at = id.find(kPidMarker);
    if (vid_at == std::u16string_view::npos || pid_at == std::u16string_view::npos) return {};
    const std::size_t vid_digits = vid_at + kVidMarker.size();
    const std::size_t pid_digits = pid_at + kPidMarker.size();
    if (id.size() < vid_digits + kHexDigits || id.size() < pid_digits + kHexDigits) return {};

    UsbIdentity identity;
    identity.vid = ReadHexDigits(id.substr(vid_digits, kHexDigits));
    identity.pid = ReadHexDigits(id.substr(pid_digits, kHexDigits));
    // An id that ends right after the product digits has an empty serial.
    const std::size_t serial_at = pid_at + kSerialOffsetFromPid;
    if (serial_at <= id.size()) identity.serial = id.substr(serial_at);
    return identity;
}

void LogIdentity(StatusLog& log, const UsbIdentity& identity) {
    log.AppendStatusLine(FormatText("VID:%04X PID:%04X", static_cast<unsigned>(identity.vid),
                                    static_cast<unsigned>(identity.pid)));
    // The serial is the device's text: appended, never used as a format. A serial too long for
    // the line is shown shortened; the OTA test below still sees all of it.
    std::u16string line(kSerialLinePrefix);
    line.append(
        ShownSafely(identity.serial.substr(0, kSerialLineUnits - kSerialLinePrefix.size())));
    log.AppendStatusLine(line);
}

bool IsAcceptedPair(const UsbIdentity& identity) {
    return std::any_of(kAcceptedPairs.begin(), kAcceptedPairs.end(), [&](const AcceptedPair& p) {
        return p.vid == identity.vid && p.pid == identity.pid;
    });
}

// Logs which code the opened product runs and records it in the state.
void ReportRunningCode(ControllerState& state, StatusLog& log, const UsbIdentity& identity) {
    if (identity.pid == kRunModeMaskCode) {
        log.AppendStatusLine(u"Run Code at Mask Code");
    } else if (identity.pid == kRunModeProtectIsp) {
        log.AppendStatusLine(u"Run Code at Protect_Code");
        state.DeviceFound = 1;
    } else {
        log.AppendStatusLine(u"Run Code at Application/OTA Code");
        if (identity.serial.substr(0, kOtaSerialPrefix.size()) == kOtaSerialPrefix) {
            log.AppendStatusLine(u"Run Code at OTA Code");
            state.AppCodeRunning = 0;
        } else {
            log.AppendStatusLine(u"Run Code at Application Code");
            state.AppCodeRunning = 1;
        }
        state.DeviceFound = 1;
    }
}

// Opens an accepted product to prove it can be talked to. True when it was opened; only then are
// its path and identity recorded, so that DevicePath, the run mode, the vendor id and the
// identity always describe one product (the last one that opened).
bool OpenAndReport(ToolContext& context, const DiskInterface& disk, const UsbIdentity& identity) {
    ControllerState& state = context.state;
    // A path longer than DevicePath can hold is not opened at all: a shortened path could name
    // another disk.
    if (disk.path.size() > kDevicePathMaxUnits) {
        context.log.AppendStatusLine(u"Open U-KDISK USB device failed.");
        context.log.AppendStatusLine(std::u16string(kOpenFailureReasonPrefix) +
                                     u"the path is longer than the tool can hold");
        return false;
    }
    ProductConnection product(context.transport, context.shared_buffer);
    if (!product.Open(disk.path, disk.parent_device_id)) {
        context.log.AppendStatusLine(u"Open U-KDISK USB device failed.");
        product.LogFailureReason();
        return false;
    }
    state.DevicePath = disk.path;
    state.ProductIdentity = disk.parent_device_id;
    context.log.AppendStatusLine(u"Open U-KDISK USB device Passed.");
    state.DutNameMatch = 0;
    state.FirmwareGroup = ImageGroup::Unchecked;
    ReportRunningCode(state, context.log, identity);
    return true;
}

std::u16string_view ListingFailureLine(ListingFailure failure) {
    switch (failure) {
        case ListingFailure::CompatibleIds:
            return u"USBFound get registry property error";
        case ListingFailure::ParentInstance:
            return u"USBFound get parent ID error";
        case ListingFailure::ParentDeviceId:
            return u"USBFound get device id error";
        case ListingFailure::None:
        case ListingFailure::InterfaceSet:
            break;
    }
    return {};
}

}  // namespace

std::uint16_t USBFound(ToolContext& context) {
    ControllerState& state = context.state;
    state.DeviceVid = 0;
    const DiskListing listing = context.transport.Platform().ListDiskInterfaces();
    if (listing.failure == ListingFailure::InterfaceSet) {
        context.log.AppendStatusLine(u"USBFound handle error");
        return kRunModeNoDevice;
    }
    state.AppCodeRunning = 0;
    state.DeviceFound = 0;
    state.MaskPollTicks = 0;

    // Every present disk is examined: the last product that opens decides the result.
    std::uint16_t run_mode = kRunModeNoDevice;
    for (const DiskInterface& disk : listing.disks) {
        if (!IsUsbStorageDisk(disk.compatible_ids)) continue;
        const std::optional<UsbIdentity> identity = ParseParentDeviceId(disk.parent_device_id);
        if (!identity) continue;
        LogIdentity(context.log, *identity);
        if (!IsAcceptedPair(*identity)) continue;
        if (!OpenAndReport(context, disk, *identity)) continue;
        run_mode = identity->pid;
        state.DeviceVid = identity->vid;
    }

    const std::u16string_view failure_line = ListingFailureLine(listing.failure);
    if (!failure_line.empty()) context.log.AppendStatusLine(failure_line);
    context.log.AppendStatusLine(state.DeviceFound == 1 ? u"USB device found!"
                                                        : u"USB device not found!");
    return run_mode;
}

}  // namespace torvex
