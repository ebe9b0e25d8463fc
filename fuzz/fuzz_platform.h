#pragma once
// A device platform for the fuzz targets: the listing is whatever the target puts in `listing`,
// each open is granted or refused by the fuzz input, and requests are answered by the target's
// `answer` (not delivered without one). It keeps the handle accounting a well-behaved caller
// balances, and checks what the tool hands it.

#include <algorithm>
#include <functional>
#include <set>

#include "device/device_platform.h"
#include "device/isp_commands.h"
#include "device/product_identity.h"
#include "fuzz/fuzz_support.h"

namespace torvex::fuzz {

class FuzzPlatform : public DevicePlatform {
  public:
    explicit FuzzPlatform(FuzzBytes& in) : in_(in) {}

    DiskListing ListDiskInterfaces() override { return listing; }

    DeviceHandle OpenExclusive(std::u16string_view path) override {
        Require(path.size() <= kDevicePathMaxUnits, "an opened path fits DevicePath");
        const bool listed =
            std::any_of(listing.disks.begin(), listing.disks.end(),
                        [&](const DiskInterface& disk) { return disk.path == path; });
        // Exclusive: one handle at a time; an input byte with its low three bits set refuses.
        if (!listed || !open_.empty() || (in_.Byte() & 7u) == 7u) return kInvalidDeviceHandle;
        open_.insert(++last_handle_);
        opened_path_ = path;
        return last_handle_;
    }
    std::string LastOpenError() const override { return "refused by the fuzz input"; }
    // The listed identity of the opened path.
    std::u16string OpenedParentDeviceId(DeviceHandle handle) const override {
        if (open_.count(handle) == 0) return {};
        for (const DiskInterface& disk : listing.disks)
            if (disk.path == opened_path_) return disk.parent_device_id;
        return {};
    }

    void Close(DeviceHandle handle) override {
        if (handle == kInvalidDeviceHandle) return;
        if (open_.erase(handle) == 0) ++bad_closes;
    }

    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override {
        Require(!request.cdb.empty() && request.cdb.size() <= kMaxCdbLength, "CDB of 1..16 bytes");
        Require(request.length == 0 ||
                    (request.direction == DataDirection::In ? request.data_in != nullptr
                                                            : request.data_out != nullptr),
                "a data phase has a buffer");
        PassThroughResult result;
        if (open_.count(handle) == 0 || !answer) {
            result.error = TransportError::InvalidHandle;
        } else {
            answer(request, result);
        }
        if (on_request) on_request(request, result);
        return result;
    }

    std::size_t OpenHandles() const { return open_.size(); }

    DiskListing listing;
    int bad_closes = 0;
    // Replaces the answers from the input (the handle is known to be open).
    std::function<void(const PassThroughRequest&, PassThroughResult&)> answer;
    // Sees every request and its result.
    std::function<void(const PassThroughRequest&, const PassThroughResult&)> on_request;

  private:
    FuzzBytes& in_;
    std::set<DeviceHandle> open_;
    DeviceHandle last_handle_ = 0;
    std::u16string opened_path_;
};

}  // namespace torvex::fuzz
