#include "firmware/ef32_version_checks.h"

#include <algorithm>
#include <string>

#include "base/controller_state.h"
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
bool ClassWithoutImage(ToolContext& context, const FirmwareInfoBlock& bank) {
    ControllerState& state = context.state;
    if (IsErasedBank(bank)) {
        state.Ef32VersionClass = Ef32Class::NoCode;
        context.log.AppendStatusLine(u"Device EF32_0 is  'No_Code'");
        return true;
    }
    if (HoldsProtectedIspCode(bank)) {
        state.Ef32VersionClass = Ef32Class::Protect;
        context.log.AppendStatusLine(u"Device EF32_0 FW is  'Protect'");
        return true;
    }
    if (!HasRequiredTag(bank)) {
        state.Ef32VersionClass = Ef32Class::NoCode;
        context.log.AppendStatusLine(u"EF32_0 Tag FAIL, Set Device EF32_0 is  'No_Code'");
        return true;
    }
    context.log.AppendStatusLine(u"EF32_0 FW Tag PASS");
    return false;
}

void ClassifyVersion(ToolContext& context, std::int32_t image_number, std::int32_t bank_number) {
    if (image_number > bank_number) {
        context.log.AppendStatusLine(u"Device EF32_0 FW Version is  'Old'");
        context.state.Ef32VersionClass = Ef32Class::Old;
    } else if (image_number == bank_number) {
        context.log.AppendStatusLine(u"Device EF32_0 FW Version is  'Current'");
        context.state.Ef32VersionClass = Ef32Class::Current;
    } else {
        context.log.AppendStatusLine(u"Device EF32_0 FW Version is  'New'");
        context.state.Ef32VersionClass = Ef32Class::New;
    }
}

// Only decides the product line; unlike the EF64 check it never changes the class.
void CompareProductLine(ToolContext& context, std::u16string_view name_line,
                        std::u16string_view pattern) {
    if (NameLineContains(name_line, pattern)) {
        context.log.AppendStatusLine(u"Compare_DUT_FW_Name PASS");
        context.state.DutNameMatch = 1;
    } else {
        context.log.AppendStatusLine(u"Compare_DUT_FW_Name FAIL ");
        context.state.DutNameMatch = 0;
    }
}

// The bank holds firmware with the right tag: compare it with the carried Group_1 image.
std::optional<FirmwareInfoBlock> CompareWithImage(ToolContext& context, ProductConnection& product,
                                                  std::int32_t bank_number,
                                                  std::u16string_view bank_name_line) {
    const auto image = QueryImageInformation(product, IdentitySlice(context.images, Bank::Ef32_0));
    if (!image) {
        context.log.AppendStatusLine(u"CMD FAIL.");
        return image;
    }
    LogFirmwareInfoBlock(context.log, InfoBlockSide::Image, *image);
    const std::int32_t image_number = FwVersionNumber(*image);
    context.log.AppendStatusLine(FormatText("GUI EF32_0 BINX FW Version: %d", image_number));
    context.log.AppendStatusLine(FormatText("Device EF32_0 FW Version:   %d", bank_number));
    ClassifyVersion(context, image_number, bank_number);
    if (context.state.DutNameMatch == 0)
        CompareProductLine(context, bank_name_line, kFirstProductLinePattern);
    return image;
}

}  // namespace

IdentityReading Check_OTA_Version_at_Application(ToolContext& context) {
    context.log.AppendStatusLine(u"\r");
    context.log.AppendStatusLine(
        u"Check_OTA_Version_at_Application ------------------------------------");
    IdentityReading read;
    CheckSession session(context);
    if (!session.Opened()) return read;

    read.bank = ReadDeviceInformation(session.Product(), ISP_CMD_GET_EF32_0_INFO);
    if (!read.bank) {
        context.log.AppendStatusLine(u"CMD FAIL.");
        context.state.Ef32VersionClass = Ef32Class::NoCode;
        return read;
    }
    const std::u16string name_line =
        LogFirmwareInfoBlock(context.log, InfoBlockSide::DeviceEf32, *read.bank);
    if (!ClassWithoutImage(context, *read.bank))
        read.image =
            CompareWithImage(context, session.Product(), FwVersionNumber(*read.bank), name_line);
    return read;
}

IdentityReading Check_OTA_Version_at_OTA(ToolContext& context) {
    ControllerState& state = context.state;
    context.log.AppendStatusLine(
        u"Check_OTA_Version_at_OTA -------------------------------------------");
    IdentityReading read;
    CheckSession session(context);
    if (!session.Opened()) return read;

    // While OTA code runs, the running firmware is the EF32_0 one. A failed read leaves the
    // class Unchecked, so the next tick asks again.
    read.bank = ReadDeviceInformation(session.Product(), ISP_CMD_GET_FW_INFO);
    if (!read.bank) {
        context.log.AppendStatusLine(u"CMD FAIL.");
        return read;
    }
    const FirmwareInfoBlock* firmware = &*read.bank;
    const std::u16string name_line =
        LogFirmwareInfoBlock(context.log, InfoBlockSide::DeviceEf32, *firmware);
    const std::int32_t number = FwVersionNumber(*firmware);

    if (state.DutNameMatch == 0) CompareProductLine(context, name_line, kSecondProductLinePattern);
    // OTA code is always replaced by the second run, whatever its version.
    state.Ef32VersionClass = Ef32Class::Old;
    if (state.FirmwareGroup == ImageGroup::Unchecked)
        DecideFirmwareGroup(context, Ef32Group2Versions, number, {u"Group_2 ", u"Group_1 "});
    context.log.AppendStatusLine(FormatText("Device EF32_0 FW Version:   %d", number));
    return read;
}

}  // namespace torvex
