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

// Logs which code the opened product runs and records it in the state.
void ReportRunningCode(ControllerState& state, StatusLog& log, const UsbDeviceId& identity) {
    if (identity.pid == kRunModeMaskCode) {
        log.AppendStatusLine(u"Run Code at Mask Code");
    } else if (identity.pid == kRunModeProtectIsp) {
        log.AppendStatusLine(u"Run Code at Protect_Code");
        state.DeviceFound = 1;
    } else {
        log.AppendStatusLine(u"Run Code at Application/OTA Code");
        if (CodeOf(identity) == ProductCode::Ota) {
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
bool OpenAndReport(ToolContext& context, const DiskInterface& disk, const UsbDeviceId& identity) {
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
        const std::optional<UsbDeviceId> identity = ParseParentDeviceId(disk.parent_device_id);
        if (!identity) continue;
        LogIdentity(context.log, *identity);
        if (!IsProductPair(*identity)) continue;
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
