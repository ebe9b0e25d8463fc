// The version checks over a product that answers a fuzzed 64-byte block for its bank and another
// for the carried image: the EF32_0 classification at application and at OTA code, and the EF64
// check, with requests that fail, are refused with CHECK CONDITION or arrive short.
//
// Input: a flags byte (initial name match and group), the bank's block (64 bytes), the image's
// block (64 bytes), then one byte per request (see Answer).

#include <algorithm>
#include <array>

#include "app/controller_state_update.h"
#include "firmware/ef32_version_checks.h"
#include "firmware/ef64_version_check.h"
#include "fuzz/fuzz_tool.h"

namespace torvex::fuzz {
namespace {

using Block = std::array<std::uint8_t, 64>;

class Checks {
  public:
    explicit Checks(FuzzBytes& in) : in_(in), tool_(in) {
        const std::uint8_t flags = in.Byte();
        tool_.state.DutNameMatch = flags & 1u;
        tool_.state.FirmwareGroup = static_cast<ImageGroup>((flags >> 1) % 3u);
        tool_.state.DevicePath = u"/dev/sdp";
        tool_.platform.listing.disks.push_back({u"USBSTOR\\Disk", u"", tool_.state.DevicePath});
        Fill(bank_);
        Fill(image_);
        tool_.platform.answer = [this](const PassThroughRequest& request,
                                       PassThroughResult& result) { Answer(request, result); };
    }

    void AtApplication() {
        ForgetReads();
        Check_OTA_Version_at_Application(tool_.context);
        AfterEveryCheck();
        const Ef32Class cls = tool_.state.Ef32VersionClass;
        Require(cls <= Ef32Class::New, "the EF32_0 class is one of its six values");
        if (!bank_read_whole_) return;
        const auto ff = std::count(bank_.begin(), bank_.end(), std::uint8_t{0xFF});
        if (ff >= kErasedBankThreshold)
            Require(cls == Ef32Class::NoCode, "an erased bank is No_Code");
        else if (HoldsSignature())
            Require(cls == Ef32Class::Protect, "the signature is Protect");
        else if (!std::equal(kRequiredEf32Tag.begin(), kRequiredEf32Tag.end(), bank_.begin() + 7))
            Require(cls == Ef32Class::NoCode, "a bank without its tag is No_Code");
    }

    void AtOta() {
        ForgetReads();
        Check_OTA_Version_at_OTA(tool_.context);
        AfterEveryCheck();
        if (bank_read_whole_) {
            Require(tool_.state.Ef32VersionClass == Ef32Class::Old, "OTA code is always Old");
            Require(tool_.state.FirmwareGroup != ImageGroup::Unchecked,
                    "a read at OTA picks a group");
        }
    }

    void Ef64() {
        tool_.state.FirmwareAccepted = 1;
        ForgetReads();
        Check_Application_Version_Combine(tool_.context);
        AfterEveryCheck();
        Require(tool_.state.Ef64VersionClass <= Ef64Class::New,
                "the EF64 class is one of its values");
        const bool rejected = tool_.state.FirmwareAccepted == 0;
        Require(!rejected || tool_.state.Ef64VersionClass == Ef64Class::Unchecked,
                "a rejected image leaves the EF64 class unchecked");
        if (image_read_whole_ && image_[11] != kRequiredEf64ImageMajor)
            Require(rejected, "an image of another major version is rejected");
    }

  private:
    void Fill(Block& block) {
        const auto bytes = in_.Take(block.size());
        std::copy(bytes.begin(), bytes.end(), block.begin());
    }

    void ForgetReads() { bank_read_whole_ = image_read_whole_ = false; }

    bool HoldsSignature() const {
        for (std::size_t i = 0; i < ProtectSignature.size(); ++i)
            if (bank_[2 * i] != ProtectSignature[i]) return false;
        return true;
    }

    void AfterEveryCheck() {
        tool_.RequireHandlesBalanced();
        Require(tool_.state.AutoRestart == 0, "every check leaves no restart armed");
        Require(tool_.state.DutNameMatch <= 1, "the name match is a flag");
        Require(tool_.state.FirmwareGroup <= ImageGroup::Group2, "the group is one of its values");
    }

    // One byte per request (zero: delivered in full): bits 0-2 set: not delivered; bits 3-4 set:
    // CHECK CONDITION without data; bit 5: only the first (bits 6-7) * 16 bytes of a reply arrive.
    void Answer(const PassThroughRequest& request, PassThroughResult& result) {
        const std::uint8_t how = in_.Byte();
        result.delivered = (how & 7u) != 7u;
        if (!result.delivered) result.error = TransportError::Timeout;
        const bool data = result.delivered && (how & 0x18u) != 0x18u;
        if (result.delivered && !data) result.scsi_status = kScsiStatusCheckCondition;
        const std::size_t arrive = (how & 0x20u) != 0 ? (how >> 6) * 16u : 64u;
        const bool info = request.cdb.size() > 2 && request.cdb[1] == ISP_CMD_INFO_GROUP;
        const std::uint8_t sub = info ? request.cdb[2] : 0;
        const Block* source = sub == ISP_CMD_GET_BINX_INFO ? &image_
                              : sub == ISP_CMD_GET_FW_INFO || sub == ISP_CMD_GET_EF32_0_INFO
                                  ? &bank_
                                  : nullptr;
        if (source == nullptr) return;
        const bool whole = data && arrive == 64 && request.length == 64;
        (source == &image_ ? image_read_whole_ : bank_read_whole_) = whole;
        if (data && request.data_in != nullptr)
            std::copy_n(source->begin(), std::min<std::size_t>(arrive, request.length),
                        request.data_in);
    }

    FuzzBytes& in_;
    FuzzTool tool_;
    Block bank_{};
    Block image_{};
    bool bank_read_whole_ = false;
    bool image_read_whole_ = false;
};

}  // namespace
}  // namespace torvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torvex::fuzz;
    FuzzBytes in(data, size);
    auto checks = std::make_unique<Checks>(in);
    checks->AtApplication();
    checks->AtOta();
    checks->Ef64();
    return 0;
}
