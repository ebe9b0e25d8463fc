#include "firmware/ef64_version_check.h"

#include <string>

#include "base/status_log.h"
#include "base/text.h"
#include "firmware/check_session.h"
#include "firmware/embedded_images.h"
#include "firmware/firmware_info_block.h"
#include "firmware/group_table.h"
#include "firmware/identity_queries.h"

namespace torvex {

namespace {

// Whether the product's firmware name is accepted, as far as this check knows.
bool NameMatched(const CheckContext& context, const CheckVerdict& verdict) {
    return verdict.name_matched.value_or(context.name_matched);
}

// A command failed: the product's firmware is too old to answer, which the update controller
// handles by sending it to its ISP code.
void ClassAntique(StatusLog& log, CheckVerdict& verdict) {
    log.AppendStatusLine(u"CMD FAIL.");
    verdict.ef64 = Ef64Class::Antique;
    log.AppendStatusLine(u"Device EF64 FW Version is  'Antique'");
}

void ClassifyVersion(StatusLog& log, CheckVerdict& verdict, std::int32_t image_number,
                     std::int32_t device_number) {
    if (image_number > device_number) {
        log.AppendStatusLine(u"Device EF64 FW Version is  'Old'");
        verdict.ef64 = Ef64Class::Old;
    } else if (image_number == device_number) {
        log.AppendStatusLine(u"Device EF64 FW Version is  'Current'");
        verdict.ef64 = Ef64Class::Current;
    } else {
        log.AppendStatusLine(u"Device EF64 FW Version is  'New'");
        verdict.ef64 = Ef64Class::New;
    }
}

// A product of the first line is always updated, so it is classed Old whatever its version; one
// of the second line is accepted only when it already runs the carried version.
void CompareProductLine(StatusLog& log, CheckVerdict& verdict,
                        std::u16string_view device_name_line) {
    if (NameLineContains(device_name_line, kFirstProductLinePattern)) {
        log.AppendStatusLine(u"Compare_DUT_FW_Name PASS");
        verdict.name_matched = true;
        log.AppendStatusLine(u"Changed Get Device EF64 FW Version is  'Old'(Torvex)");
        verdict.ef64 = Ef64Class::Old;
        return;
    }
    log.AppendStatusLine(u"Compare_DUT_FW_Name FAIL ");
    if (NameLineContains(device_name_line, kSecondProductLinePattern) &&
        verdict.ef64 == Ef64Class::Current) {
        log.AppendStatusLine(u"Compare_DUT_FW_Name 2 PASS");
        verdict.name_matched = true;
    } else {
        log.AppendStatusLine(u"Compare_DUT_FW_Name 2 FAIL ");
        verdict.name_matched = false;
    }
}

}  // namespace

CheckOutcome CheckEf64AtApplication(const CheckContext& context) {
    StatusLog& log = context.device.log;
    log.AppendStatusLine(
        u"Check_Application_Version_Combine -----------------------------------------");
    CheckOutcome result;
    IdentityReading& read = result.read;
    CheckVerdict& verdict = result.verdict;
    CheckSession session(context);
    if (!session.Opened()) return result;

    read.image =
        QueryImageInformation(session.Product(), IdentitySlice(context.images, Bank::Ef64));
    if (!read.image) {
        ClassAntique(log, verdict);
        return result;
    }
    const FirmwareInfoBlock* image = &*read.image;
    LogFirmwareInfoBlock(log, InfoBlockSide::Image, *image);
    const std::int32_t image_number = FwVersionNumber(*image);
    if (image->MajorVersion() != kRequiredEf64ImageMajor) {
        verdict.image_rejected = true;
        return result;
    }

    read.bank = ReadDeviceInformation(session.Product(), ISP_CMD_GET_FW_INFO);
    if (!read.bank) {
        ClassAntique(log, verdict);
        return result;
    }
    const FirmwareInfoBlock* firmware = &*read.bank;
    const std::u16string name_line =
        LogFirmwareInfoBlock(log, InfoBlockSide::DeviceEf64, *firmware);
    const std::int32_t device_number = FwVersionNumber(*firmware);
    log.AppendStatusLine(FormatText("BinX File FW Version:   %d", image_number));
    log.AppendStatusLine(FormatText("Device EF64 FW Version: %d", device_number));

    ClassifyVersion(log, verdict, image_number, device_number);
    if (!NameMatched(context, verdict)) CompareProductLine(log, verdict, name_line);
    if (context.group == ImageGroup::Unchecked)
        verdict.group = DecideFirmwareGroup(log, Ef64Group2Versions, device_number,
                                            {u"FW_Group_2 ", u"FW_Group_1 "});
    return result;
}

}  // namespace torvex
