#include "device/usb_found.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "base/status_log.h"
#include "base/text.h"
#include "device/device_platform.h"
#include "device/product_connection.h"
#include "device/product_identity.h"

namespace torvex {

namespace {

// The "SN:%s" line fits 80 units with its terminator.
constexpr std::size_t kSerialLineUnits = 80 - 1;
constexpr std::u16string_view kSerialLinePrefix = u"SN:";

void LogIdentity(StatusLog& log, const UsbDeviceId& identity) {
    log.AppendStatusLine(FormatText("VID:%04X PID:%04X", static_cast<unsigned>(identity.vid),
                                    static_cast<unsigned>(identity.pid)));
    // The serial is the device's text: appended, never used as a format. A serial too long for
    // the line is shown shortened; the OTA test below still sees all of it.
    std::u16string line(kSerialLinePrefix);
    line.append(
        ShownSafely(identity.serial.substr(0, kSerialLineUnits - kSerialLinePrefix.size())));
    log.AppendStatusLine(line);
}

// Logs which code the opened product runs and adds it to the result.
void ReportRunningCode(DiscoveryResult& result, StatusLog& log, const UsbDeviceId& identity) {
    if (identity.pid == kRunModeMaskCode) {
        log.AppendStatusLine(u"Run Code at Mask Code");
    } else if (identity.pid == kRunModeProtectIsp) {
        log.AppendStatusLine(u"Run Code at Protect_Code");
        result.device_found = true;
    } else {
        log.AppendStatusLine(u"Run Code at Application/OTA Code");
        if (CodeOf(identity) == ProductCode::Ota) {
            log.AppendStatusLine(u"Run Code at OTA Code");
            result.app_code_running = false;
        } else {
            log.AppendStatusLine(u"Run Code at Application Code");
            result.app_code_running = true;
        }
        result.device_found = true;
    }
}

// Opens an accepted product to prove it can be talked to. True when it was opened; only then are
// its path and identity reported, so that the path, the run mode, the vendor id and the identity
// always describe one product (the last one that opened).
bool OpenAndReport(DeviceContext& context, DiscoveryResult& result, const DiskInterface& disk,
                   const UsbDeviceId& identity) {
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
    result.opened = OpenedProduct{disk.path, disk.parent_device_id};
    context.log.AppendStatusLine(u"Open U-KDISK USB device Passed.");
    ReportRunningCode(result, context.log, identity);
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

DiscoveryResult DiscoverProduct(DeviceContext& context) {
    DiscoveryResult result;
    const DiskListing listing = context.transport.Platform().ListDiskInterfaces();
    if (listing.failure == ListingFailure::InterfaceSet) {
        context.log.AppendStatusLine(u"USBFound handle error");
        return result;
    }
    result.listed = true;

    for (const DiskInterface& disk : listing.disks) {
        if (!IsUsbStorageDisk(disk.compatible_ids)) continue;
        const std::optional<UsbDeviceId> identity = ParseParentDeviceId(disk.parent_device_id);
        if (!identity) continue;
        LogIdentity(context.log, *identity);
        if (!IsProductPair(*identity)) continue;
        if (!OpenAndReport(context, result, disk, *identity)) continue;
        result.run_mode = identity->pid;
        result.vid = identity->vid;
    }

    const std::u16string_view failure_line = ListingFailureLine(listing.failure);
    if (!failure_line.empty()) context.log.AppendStatusLine(failure_line);
    context.log.AppendStatusLine(result.device_found ? u"USB device found!"
                                                     : u"USB device not found!");
    return result;
}

}  // namespace torvex
