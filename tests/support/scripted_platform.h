#pragma once
// A device platform for unit tests of the transport and the command layer: it records every
// request and answers from a script (default: delivered, GOOD, data-in left as the test set it).
// Scenario tests use the virtual product instead.

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_platform.h"

namespace torvex::testing {

struct RecordedRequest {
    std::vector<std::uint8_t> cdb;
    DataDirection direction;
    std::uint32_t length;
    const std::uint8_t* data_out;
    std::uint8_t* data_in;
    std::uint32_t timeout_seconds;
    DeviceHandle handle;
};

class ScriptedPlatform : public DevicePlatform {
  public:
    DiskListing ListDiskInterfaces() override { return listing; }
    DeviceHandle OpenExclusive(std::u16string_view path) override;
    std::string LastOpenError() const override { return open_error; }
    // The listing's identity for the path opened last, unless the test says the disk changed.
    std::u16string OpenedParentDeviceId(DeviceHandle handle) const override;
    void Close(DeviceHandle handle) override;
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override;

    // Answers for the next requests, in order; when empty, requests are delivered with GOOD.
    std::deque<PassThroughResult> script;
    // Bytes copied into a data-in buffer when a request is delivered.
    std::vector<std::uint8_t> reply;
    // Per-request replies: each delivered data-in request with a length takes the next one;
    // when none is left, `reply` answers.
    std::deque<std::vector<std::uint8_t>> replies;

    DiskListing listing;
    bool open_fails = false;
    std::string open_error =
        "Device or resource busy (errno 16)";       // the reason a refused open gives
    std::optional<std::u16string> opened_identity;  // set: what OpenedParentDeviceId answers
    std::set<std::u16string> failing_paths;         // these paths cannot be opened
    std::vector<RecordedRequest> requests;
    std::vector<std::u16string> opened_paths;
    int open_handles = 0;
    int closes = 0;

    static PassThroughResult Failed(std::uint8_t status = 0);
    static PassThroughResult Delivered(std::uint8_t status = kScsiStatusGood);
};

// A 64-byte identity block as the product answers it.
std::vector<std::uint8_t> InfoBlockBytes(std::array<std::uint8_t, 4> tag,
                                         std::array<std::uint8_t, 4> version,
                                         std::string_view name);

// A 16-byte vendor command block: FF, then the given bytes, then zeros.
std::vector<std::uint8_t> CommandBytes(std::initializer_list<std::uint8_t> after_ff);

}  // namespace torvex::testing
