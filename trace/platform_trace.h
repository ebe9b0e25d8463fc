#pragma once
// What crossed the device port in one run, call by call: every listing, open, close and
// pass-through request with what the platform answered. The runner writes these records to a
// trace file (--trace) and answers a later run from them (--replay), so that what a real product
// did can be studied without the product.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "device/device_platform.h"

namespace torvex {

struct TracedOpen {
    std::u16string path;
    DeviceHandle handle = kInvalidDeviceHandle;
    std::string error;         // LastOpenError after a failed open
    std::u16string proven_id;  // OpenedParentDeviceId after a successful one
};

struct TracedClose {
    DeviceHandle handle = kInvalidDeviceHandle;
};

struct TracedRequest {
    DeviceHandle handle = kInvalidDeviceHandle;
    std::vector<std::uint8_t> cdb;
    DataDirection direction = DataDirection::In;  // the flag as sent, also without data
    std::uint32_t length = 0;
    std::string sent_sha256;             // of the data sent; empty unless data went out
    std::vector<std::uint8_t> received;  // data in: the whole reply area after the request
    PassThroughResult result;
    std::uint64_t duration_us = 0;
};

// A request as a trace keeps it before it is answered: handle, command block, direction, length and
// the digest of the data it sends. The recorder and the replay build it the same way, so that a
// replayed request matches its recording exactly when the tool asked the same.
TracedRequest TracedRequestOf(DeviceHandle handle, const PassThroughRequest& request);

using PlatformCall = std::variant<DiskListing, TracedOpen, TracedClose, TracedRequest>;

struct PlatformRecord {
    std::uint64_t time_ms = 0;  // since the trace began
    PlatformCall call;
};

}  // namespace torvex
