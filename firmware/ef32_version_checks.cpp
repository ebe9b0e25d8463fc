#include "firmware/ef32_version_checks.h"

#include <algorithm>
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

bool IsErasedBank(const FirmwareInfoBlock& bank) {
    const auto& bytes = bank.Bytes();
    return std::count(bytes.begin(), bytes.end(), std::uint8_t{0xFF}) >= kErasedBankThreshold;
}

// Only the even offsets carry the signature; the odd ones are not looked at.
bool HoldsProtectedIspCode(const FirmwareInfoBlock& bank) {
    for (std::size_t i = 0; i < ProtectSignature.size(); ++i)
        if (bank.Byte(2 * i) != ProtectSignature[i]) return false;
    return true;
}

bool HasRequiredTag(const FirmwareInfoBlock& bank) {
    return std::equal(kRequiredEf32Tag.begin(), kRequiredEf32Tag.end(), bank.Tag().begin());
}

// Erased, protected ISP code, or without the tag: each ends the check with its class. False
// when the bank holds firmware worth comparing with the carried image.
bool ClassWithoutImage(StatusLog& log, CheckVerdict& verdict, const FirmwareInfoBlock& bank) {
    if (IsErasedBank(bank)) {
        verdict.ef32 = Ef32Class::NoCode;
        log.AppendStatusLine(u"Device EF32_0 is  'No_Code'");
        return true;
    }
    if (HoldsProtectedIspCode(bank)) {
        verdict.ef32 = Ef32Class::Protect;
        log.AppendStatusLine(u"Device EF32_0 FW is  'Protect'");
        return true;
    }
    if (!HasRequiredTag(bank)) {
        verdict.ef32 = Ef32Class::NoCode;
        log.AppendStatusLine(u"EF32_0 Tag FAIL, Set Device EF32_0 is  'No_Code'");
        return true;
    }
    log.AppendStatusLine(u"EF32_0 FW Tag PASS");
    return false;
}

void ClassifyVersion(StatusLog& log, CheckVerdict& verdict, std::int32_t image_number,
                     std::int32_t bank_number) {
    if (image_number > bank_number) {
        log.AppendStatusLine(u"Device EF32_0 FW Version is  'Old'");
        verdict.ef32 = Ef32Class::Old;
    } else if (image_number == bank_number) {
        log.AppendStatusLine(u"Device EF32_0 FW Version is  'Current'");
        verdict.ef32 = Ef32Class::Current;
    } else {
        log.AppendStatusLine(u"Device EF32_0 FW Version is  'New'");
        verdict.ef32 = Ef32Class::New;
    }
}

// Only decides the product line; unlike the EF64 check it never changes the class.
void CompareProductLine(StatusLog& log, CheckVerdict& verdict, std::u16string_view name_line,
                        std::u16string_view pattern) {
    if (NameLineContains(name_line, pattern)) {
        log.AppendStatusLine(u"Compare_DUT_FW_Name PASS");
        verdict.name_matched = true;
    } else {
        log.AppendStatusLine(u"Compare_DUT_FW_Name FAIL ");
        verdict.name_matched = false;
    }
}

// The bank holds firmware with the right tag: compare it with the carried Group_1 image.
std::optional<FirmwareInfoBlock> CompareWithImage(const CheckContext& context,
                                                  CheckVerdict& verdict, ProductConnection& product,
                                                  std::int32_t bank_number,
                                                  std::u16string_view bank_name_line) {
    StatusLog& log = context.device.log;
    const auto image = QueryImageInformation(product, IdentitySlice(context.images, Bank::Ef32_0));
    if (!image) {
        log.AppendStatusLine(u"CMD FAIL.");
        return image;
    }
    LogFirmwareInfoBlock(log, InfoBlockSide::Image, *image);
    const std::int32_t image_number = FwVersionNumber(*image);
    log.AppendStatusLine(FormatText("GUI EF32_0 BINX FW Version: %d", image_number));
    log.AppendStatusLine(FormatText("Device EF32_0 FW Version:   %d", bank_number));
    ClassifyVersion(log, verdict, image_number, bank_number);
    if (!context.name_matched)
        CompareProductLine(log, verdict, bank_name_line, kFirstProductLinePattern);
    return image;
}

}  // namespace

CheckOutcome CheckEf32AtApplication(const CheckContext& context) {
    StatusLog& log = context.device.log;
    log.AppendStatusLine(u"\r");
    log.AppendStatusLine(u"Check_OTA_Version_at_Application ------------------------------------");
    CheckOutcome result;
    IdentityReading& read = result.read;
    CheckSession session(context);
    if (!session.Opened()) return result;

    read.bank = ReadDeviceInformation(session.Product(), ISP_CMD_GET_EF32_0_INFO);
    if (!read.bank) {
        log.AppendStatusLine(u"CMD FAIL.");
        result.verdict.ef32 = Ef32Class::NoCode;
        return result;
    }
    const std::u16string name_line =
        LogFirmwareInfoBlock(log, InfoBlockSide::DeviceEf32, *read.bank);
    if (!ClassWithoutImage(log, result.verdict, *read.bank))
        read.image = CompareWithImage(context, result.verdict, session.Product(),
                                      FwVersionNumber(*read.bank), name_line);
    return result;
}

CheckOutcome CheckEf32AtOta(const CheckContext& context) {
    StatusLog& log = context.device.log;
    log.AppendStatusLine(u"Check_OTA_Version_at_OTA -------------------------------------------");
    CheckOutcome result;
    IdentityReading& read = result.read;
    CheckSession session(context);
    if (!session.Opened()) return result;

    // While OTA code runs, the running firmware is the EF32_0 one. A failed read leaves the
    // class Unchecked, so the next tick asks again.
    read.bank = ReadDeviceInformation(session.Product(), ISP_CMD_GET_FW_INFO);
    if (!read.bank) {
        log.AppendStatusLine(u"CMD FAIL.");
        return result;
    }
    const FirmwareInfoBlock* firmware = &*read.bank;
    const std::u16string name_line =
        LogFirmwareInfoBlock(log, InfoBlockSide::DeviceEf32, *firmware);
    const std::int32_t number = FwVersionNumber(*firmware);
    if (!context.name_matched)
        CompareProductLine(log, result.verdict, name_line, kSecondProductLinePattern);
    // OTA code is always replaced by the second run, whatever its version.
    result.verdict.ef32 = Ef32Class::Old;
    if (context.group == ImageGroup::Unchecked)
        result.verdict.group =
            DecideFirmwareGroup(log, Ef32Group2Versions, number, {u"Group_2 ", u"Group_1 "});
    log.AppendStatusLine(FormatText("Device EF32_0 FW Version:   %d", number));
    return result;
}

}  // namespace torvex
