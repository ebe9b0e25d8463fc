#include "cli/disk_list.h"

#include "app/controller_state_update.h"
#include "app/tool_parts.h"
#include "app/update_plan.h"
#include "base/text.h"
#include "base/window_port.h"
#include "device/forwarding_platform.h"
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

// The checks the supervision timer runs for a product in this code; the list keeps what they read.
void RunIdentityChecks(ToolContext& context, ProductCode code, ListedDisk& listed) {
    ControllerState& state = context.state;
    if (code == ProductCode::MaskCode) {
        QueryBootCode(context);
        if (state.DeviceFound == 1) listed.mask_code = state.MaskVariant;
    } else if (code == ProductCode::Application) {
        const IdentityReading ef64 = Check_Application_Version_Combine(context);
        listed.ef64_bank = ef64.bank;
        listed.ef64_image = ef64.image;
        if (state.Ef64VersionClass > Ef64Class::Antique) {
            const IdentityReading ef32 = Check_OTA_Version_at_Application(context);
            listed.ef32_bank = ef32.bank;
            listed.ef32_image = ef32.image;
        }
    } else if (code == ProductCode::Ota) {
        // While OTA code runs, the firmware it reports is the EF32_0 one.
        listed.ef32_bank = Check_OTA_Version_at_OTA(context).bank;
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
    ToolParts parts(window, one);
    parts.images = images;
    ControllerState& state = parts.state;
    USBFound(parts.context);
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
            listed.ef32_image = QueryImageInformation(product, IdentitySlice(images, Bank::Ef32_0));
    }
    listed.update = DescribePlan(PlanUpdate(state));
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
