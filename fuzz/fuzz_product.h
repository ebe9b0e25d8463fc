#pragma once
// For the controller target: a product that answers as the real one would (identity blocks of
// old first-line firmware, the carried images' identities after a header, banks that report the
// image once it was programmed and checksummed), unless the fuzz input says otherwise for a
// request: not delivered, timed out, CHECK CONDITION, a short reply, or garbage.

#include <array>
#include <cstring>

#include "device/device_platform.h"
#include "device/isp_commands.h"
#include "fuzz/fuzz_support.h"

namespace torvex::fuzz {

using IdentityBytes = std::array<std::uint8_t, 64>;

inline IdentityBytes Identity(std::array<std::uint8_t, 4> tag, std::array<std::uint8_t, 4> version,
                              const char* name) {
    IdentityBytes block{};
    std::copy(tag.begin(), tag.end(), block.begin() + 7);
    std::copy(version.begin(), version.end(), block.begin() + 11);
    std::memcpy(block.data() + 32, name, std::min<std::size_t>(std::strlen(name), 24));
    return block;
}

class ModelProduct {
  public:
    // The code it runs decides what ISP_CMD_GET_FW_INFO reports.
    bool application_code = true;

    // Answers one request on an open handle; `how` is the input's word on it (0: as the product).
    void Answer(const PassThroughRequest& request, PassThroughResult& result, std::uint8_t how,
                FuzzBytes& garbage) {
        const IdentityBytes* reply = Carry(request);
        result.delivered = true;
        std::size_t arrive = reply != nullptr ? reply->size() : 0;
        switch (how == 0 ? 5 : how % 5) {
            case 0:
                result.delivered = false;
                result.error = TransportError::Other;
                return;
            case 1:
                result.delivered = false;
                result.error = TransportError::Timeout;
                return;
            case 2:
                result.scsi_status = kScsiStatusCheckCondition;
                return;
            case 3:
                arrive = std::min<std::size_t>(arrive, how >> 3);
                break;
            case 4:
                reply = &Garbage(garbage);
                break;
            default:
                break;
        }
        if (reply != nullptr && request.direction == DataDirection::In &&
            request.data_in != nullptr)
            std::copy_n(reply->begin(), std::min<std::size_t>(arrive, request.length),
                        request.data_in);
        Settle(request);
    }

  private:
    // What a command carried out would reply.
    const IdentityBytes* Carry(const PassThroughRequest& request) {
        if (request.cdb.size() < 3 || request.cdb[1] != ISP_CMD_INFO_GROUP) return nullptr;
        switch (request.cdb[2]) {
            case ISP_CMD_PUT_BINX_HEADER:
                // The EF64 image's identity slice is 2048 bytes of block 162, EF32_0's of 156;
                // the pattern of the carried blocks tells them apart.
                header_is_ef64_ = request.data_out != nullptr && request.data_out[0] == 162;
                return nullptr;
            case ISP_CMD_GET_BINX_INFO:
                return header_is_ef64_ ? &kEf64Image : &kEf32Image;
            case ISP_CMD_GET_FW_INFO:
                return application_code ? &ef64_ : &ef32_;
            case ISP_CMD_GET_EF32_0_INFO:
                return &ef32_;
            default:
                return nullptr;
        }
    }

    // A bank reports the image once its main memory was programmed and its checksum answered.
    void Settle(const PassThroughRequest& request) {
        if (request.cdb.size() < 2) return;
        if (request.cdb[1] == ISP_CMD_CHECK_EF64_MAIN) ef64_ = kEf64Image;
        if (request.cdb[1] == ISP_CMD_CHECK_EF32_0_MAIN) ef32_ = kEf32Image;
    }

    const IdentityBytes& Garbage(FuzzBytes& in) {
        const auto bytes = in.Take(garbage_.size());
        std::copy(bytes.begin(), bytes.end(), garbage_.begin());
        return garbage_;
    }

    inline static const IdentityBytes kEf64Image =
        Identity({1, 2, 3, 4}, {100, 2, 0, 5}, "F_TORVEXZED_APP_GROUP1");
    inline static const IdentityBytes kEf32Image =
        Identity({7, 8, 9, 10}, {50, 2, 0, 5}, "F_TORVEXZED_OTA_GROUP1");
    IdentityBytes ef64_ = Identity({1, 2, 3, 4}, {100, 1, 0, 0}, "F_TORVEX_APP_V100100");
    IdentityBytes ef32_ = Identity({7, 8, 9, 10}, {50, 1, 0, 0}, "F_TORVEX_OTA_V50100");
    IdentityBytes garbage_{};
    bool header_is_ef64_ = true;
};

}  // namespace torvex::fuzz
