#include "firmware/ef64_version_check.h"

#include <string>

#include "base/controller_state.h"
#include "base/status_log.h"
#include "base/text.h"
#include "base/window_port.h"
#include "firmware/check_session.h"
#include "firmware/embedded_images.h"
#include "firmware/firmware_info_block.h"
#include "firmware/group_table.h"
#include "firmware/identity_queries.h"

namespace torvex {

namespace {

constexpr std::u16string_view kRejectionMessage =
    u"Firmware file(Binx) is not supported,\r\nPlease select another file.";

// A command failed: the product's firmware is too old to answer, which the update controller
// handles by sending it to its ISP code.
void ClassAntique(ToolContext& context) {
    context.log.AppendStatusLine(u"CMD FAIL.");
    context.state.Ef64VersionClass = Ef64Class::Antique;
    context.log.AppendStatusLine(u"Device EF64 FW Version is  'Antique'");
}

// The carried EF64 image is not one this tool may write. Everything is settled (and the handle
// closed) before the box opens, because ticks keep arriving inside it.
void RejectImage(ToolContext& context, CheckSession& session) {
    ControllerState& state = context.state;
    state.FirmwareAccepted = 0;
    state.Ef64VersionClass = Ef64Class::Unchecked;
    state.Ef32VersionClass = Ef32Class::Unchecked;
    context.window.EnableUpdateButton(false);
    session.End();
    context.window.ClearFirmwarePath();
    context.window.ReportRunEnding(RunEnding::FirmwareRejected);
    context.window.ShowMessageBox(kRejectionMessage);
}

void ClassifyVersion(ToolContext& context, std::int32_t image_number, std::int32_t device_number) {
    if (image_number > device_number) {
        context.log.AppendStatusLine(u"Device EF64 FW Version is  'Old'");
        context.state.Ef64VersionClass = Ef64Class::Old;
    } else if (image_number == device_number) {
        context.log.AppendStatusLine(u"Device EF64 FW Version is  'Current'");
        context.state.Ef64VersionClass = Ef64Class::Current;
    } else {
        context.log.AppendStatusLine(u"Device EF64 FW Version is  'New'");
        context.state.Ef64VersionClass = Ef64Class::New;
    }
}

// A product of the first line is always updated, so it is classed Old whatever its version; one
// of the second line is accepted only when it already runs the carried version.
void CompareProductLine(ToolContext& context, std::u16string_view device_name_line) {
    ControllerState& state = context.state;
    if (NameLineContains(device_name_line, kFirstProductLinePattern)) {
        context.log.AppendStatusLine(u"Compare_DUT_FW_Name PASS");
        state.DutNameMatch = 1;
        context.log.AppendStatusLine(u"Changed Get Device EF64 FW Version is  'Old'(Torvex)");
        state.Ef64VersionClass = Ef64Class::Old;
        return;
    }
    context.log.AppendStatusLine(u"Compare_DUT_FW_Name FAIL ");
    state.DutNameMatch = 0;
    if (NameLineContains(device_name_line, kSecondProductLinePattern) &&
        state.Ef64VersionClass == Ef64Class::Current) {
        context.log.AppendStatusLine(u"Compare_DUT_FW_Name 2 PASS");
        state.DutNameMatch = 1;
    } else {
        context.log.AppendStatusLine(u"Compare_DUT_FW_Name 2 FAIL ");
        state.DutNameMatch = 0;
    }
}

}  // namespace

IdentityReading Check_Application_Version_Combine(ToolContext& context) {
    ControllerState& state = context.state;
    context.log.AppendStatusLine(
        u"Check_Application_Version_Combine -----------------------------------------");
    IdentityReading read;
    CheckSession session(context);
    if (!session.Opened()) return read;

    read.image =
        QueryImageInformation(session.Product(), IdentitySlice(context.images, Bank::Ef64));
    if (!read.image) {
        ClassAntique(context);
        return read;
    }
    const FirmwareInfoBlock* image = &*read.image;
    LogFirmwareInfoBlock(context.log, InfoBlockSide::Image, *image);
    const std::int32_t image_number = FwVersionNumber(*image);
    if (image->MajorVersion() != kRequiredEf64ImageMajor) {
        RejectImage(context, session);
        return read;
    }

    read.bank = ReadDeviceInformation(session.Product(), ISP_CMD_GET_FW_INFO);
    if (!read.bank) {
        ClassAntique(context);
        return read;
    }
    const FirmwareInfoBlock* firmware = &*read.bank;
    const std::u16string name_line =
        LogFirmwareInfoBlock(context.log, InfoBlockSide::DeviceEf64, *firmware);
    const std::int32_t device_number = FwVersionNumber(*firmware);
    context.log.AppendStatusLine(FormatText("BinX File FW Version:   %d", image_number));
    context.log.AppendStatusLine(FormatText("Device EF64 FW Version: %d", device_number));

    ClassifyVersion(context, image_number, device_number);
    if (state.DutNameMatch == 0) CompareProductLine(context, name_line);
    if (state.FirmwareGroup == ImageGroup::Unchecked)
        DecideFirmwareGroup(context, Ef64Group2Versions, device_number,
                            {u"FW_Group_2 ", u"FW_Group_1 "});
    return read;
}

}  // namespace torvex
