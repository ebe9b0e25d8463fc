#include "cli/disk_list.h"

#include "app/tool_parts.h"
#include "base/text.h"
#include "base/window_port.h"
#include "device/boot_code_query.h"
#include "device/forwarding_platform.h"
#include "device/usb_found.h"
#include "firmware/ef32_version_checks.h"
#include "firmware/ef64_version_check.h"
#include "firmware/identity_queries.h"
#include "trace/recording_platform.h"
#include "trace/sha256.h"

namespace torvex::cli {

namespace {

// The identity reads write their log and boxes nowhere: the list has its own lines.
class SilentWindow final : public WindowPort {
  public:
    void AppendToStatusLog(std::u16string_view) override {}
    void AppendToSecondaryLog(std::u16string_view) override {}
    void LoadStatusPicture(StatusPicture) override {}
    void InvalidateStatusPicture() override {}
    void ForceRepaint() override {}
    void ResetProgress() override {}
    void StepProgress() override {}
    void EnableUpdateButton(bool) override {}
    void ShowMessageBox(std::u16string_view) override {}
    void PostUpdateClick() override {}
    void ClearFirmwarePath() override {}
    void ReportUpdateWriting() override {}
    void ReportRunEnding(RunEnding) override {}
};

// Shows the tool one disk only, so that discovery finds exactly the product being listed. The
// platform's last listing is left as it was (the back end opens only disks it listed).
class OneDisk final : public ForwardingPlatform {
  public:
    OneDisk(DevicePlatform& inner, DiskInterface disk)
        : ForwardingPlatform(inner), disk_(std::move(disk)) {}
    DiskListing ListDiskInterfaces() override { return {{disk_}, ListingFailure::None}; }

  private:
    DiskInterface disk_;
};

// Keeps the identity blocks the product answered, as the checks received them.
class IdentityCapture {
  public:
    IdentityCapture(ListedDisk& disk, const EmbeddedImages& images) : disk_(disk) {
        const auto slice = IdentitySlice(images, Bank::Ef64);
        if (slice.size() >= kImageHeaderLength)
            ef64_slice_sha256_ = Sha256Hex(slice.first(kImageHeaderLength));
    }

    void operator()(const PlatformRecord& record) {
        const auto* request = std::get_if<TracedRequest>(&record.call);
        if (request == nullptr || !request->result.delivered || request->cdb.size() < 3 ||
            request->cdb[0] != kVendorCommandByte || request->cdb[1] != ISP_CMD_INFO_GROUP)
            return;
        const std::uint8_t command = request->cdb[2];
        if (command == ISP_CMD_PUT_BINX_HEADER) {
            image_is_ef64_ = request->sent_sha256 == ef64_slice_sha256_;
            return;
        }
        const FirmwareInfoBlock block = FirmwareInfoBlock::FromReply(request->received);
        // While OTA code runs, the firmware it reports is the EF32_0 one.
        if (command == ISP_CMD_GET_FW_INFO)
            (disk_.code == ProductCode::Ota ? disk_.ef32_bank : disk_.ef64_bank) = block;
        if (command == ISP_CMD_GET_EF32_0_INFO) disk_.ef32_bank = block;
        if (command == ISP_CMD_GET_BINX_INFO)
            (image_is_ef64_ ? disk_.ef64_image : disk_.ef32_image) = block;
    }

  private:
    ListedDisk& disk_;
    std::string ef64_slice_sha256_;
    bool image_is_ef64_ = true;
};

// What Update F/W would do now, by the same choices as the update controller.
std::string UpdateForecast(const ControllerState& state) {
    if (state.RunMode == kRunModeMaskCode) {
        if (state.DeviceFound == 0) return "unknown: no answer to the boot-code query";
        return state.MaskVariant == MaskCode::Mask0210 ? "EF32_0 and EF64 in one run"
                                                       : "none: mask code 0110 is not supported";
    }
    if (state.FirmwareAccepted == 0) return "none: the carried EF64 image is rejected";
    if (state.DeviceVid == kVendorAppAndOta && state.DutNameMatch == 1) {
        if (state.AppCodeRunning == 0) return "EF64 in one run";
        switch (state.Ef64VersionClass) {
            case Ef64Class::Antique:
                return "sent to OTA code, then EF64 (EF64 firmware too old to answer)";
            case Ef64Class::Old:
                return "EF32_0, then EF64 after the product restarts in OTA code";
            case Ef64Class::Current:
            case Ef64Class::New:
                return "none: already updated";
            case Ef64Class::Unchecked:
                break;
        }
        return "unknown: the EF64 firmware could not be read";
    }
    if (state.RunMode == kRunModeProtectIsp) return "EF64 in one run";
    return "none: not supported (Other Code)";
}

// The checks the supervision timer runs for a product in this code.
void RunIdentityChecks(ToolContext& context, ProductCode code, ListedDisk& listed) {
    ControllerState& state = context.state;
    if (code == ProductCode::MaskCode) {
        QueryBootCode(context);
        if (state.DeviceFound == 1) listed.mask_code = state.MaskVariant;
    } else if (code == ProductCode::Application) {
        Check_Application_Version_Combine(context);
        if (state.Ef64VersionClass > Ef64Class::Antique) Check_OTA_Version_at_Application(context);
    } else if (code == ProductCode::Ota) {
        Check_OTA_Version_at_OTA(context);
    }
}

// Asks one product for its identities, through the tool's own discovery and checks.
void ReadIdentities(DevicePlatform& platform, const DiskInterface& disk,
                    const FirmwareBlockStore& blocks, ListedDisk& listed) {
    listed.identities_read = true;
    OneDisk one(platform, disk);
    SilentWindow window;
    EmbeddedImages images;
    LoadEmbeddedImages(blocks, window, images);
    RecordingPlatform recording(one, IdentityCapture(listed, images), [] { return 0; });
    ToolParts parts(window, recording);
    parts.images = images;
    ControllerState& state = parts.state;
    state.RunMode = USBFound(parts.context);
    if (state.DevicePath.empty()) {
        listed.open_error = FromUtf8(platform.LastOpenError());
        listed.update = "unknown: the product could not be opened";
        return;
    }
    state.DeviceFound = FoundAfterDiscovery(state.RunMode);
    state.FirmwareAccepted = 1;
    RunIdentityChecks(parts.context, listed.code, listed);
    // The check at application code asks for the carried EF32_0 image only when it compares
    // with it; the list shows it whenever the product can tell.
    if (listed.code == ProductCode::Application && listed.ef64_image && !listed.ef32_image) {
        ProductConnection product(parts.transport, parts.shared_buffer);
        if (product.Open(state.DevicePath, state.ProductIdentity))
            QueryImageInformation(product, IdentitySlice(images, Bank::Ef32_0));
    }
    listed.update = UpdateForecast(state);
}

}  // namespace

DiskList DiskListOf(const DiskListing& listing) {
    DiskList list;
    list.failure = listing.failure;
    for (const DiskInterface& disk : listing.disks) {
        if (!IsUsbStorageDisk(disk.compatible_ids)) continue;
        const std::optional<UsbDeviceId> id = ParseParentDeviceId(disk.parent_device_id);
        if (!id) continue;
        ListedDisk listed;
        listed.port = disk.port_path;
        listed.path = disk.path;
        listed.vid = id->vid;
        listed.pid = id->pid;
        listed.serial = std::u16string(id->serial);
        listed.code = CodeOf(*id);
        list.disks.push_back(std::move(listed));
    }
    return list;
}

DiskList ReadDiskList(DevicePlatform& platform, const FirmwareBlockStore& blocks) {
    const DiskListing listing = platform.ListDiskInterfaces();
    DiskList list = DiskListOf(listing);
    for (ListedDisk& listed : list.disks) {
        if (listed.code == ProductCode::NotTheProduct) continue;
        for (const DiskInterface& disk : listing.disks)
            if (disk.path == listed.path) ReadIdentities(platform, disk, blocks, listed);
    }
    return list;
}

}  // namespace torvex::cli
