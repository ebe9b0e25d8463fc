#include "device/recording_platform.h"

#include <chrono>

#include "base/sha256.h"

namespace torvex {

RecordingPlatform::RecordingPlatform(DevicePlatform& inner, PlatformRecordSink sink,
                                     std::function<std::uint64_t()> clock_ms)
    : inner_(inner), sink_(std::move(sink)), clock_ms_(std::move(clock_ms)) {}

DiskListing RecordingPlatform::ListDiskInterfaces() {
    DiskListing listing = inner_.ListDiskInterfaces();
    Record(listing);
    return listing;
}

DeviceHandle RecordingPlatform::OpenExclusive(std::u16string_view path) {
    TracedOpen open;
    open.path = std::u16string(path);
    open.handle = inner_.OpenExclusive(path);
    if (open.handle == kInvalidDeviceHandle)
        open.error = inner_.LastOpenError();
    else
        open.proven_id = inner_.OpenedParentDeviceId(open.handle);
    Record(open);
    return open.handle;
}

void RecordingPlatform::Close(DeviceHandle handle) {
    inner_.Close(handle);
    Record(TracedClose{handle});
}

PassThroughResult RecordingPlatform::PassThrough(DeviceHandle handle,
                                                 const PassThroughRequest& request) {
    TracedRequest traced;
    traced.handle = handle;
    traced.cdb.assign(request.cdb.begin(), request.cdb.end());
    traced.direction = request.direction;
    traced.length = request.length;
    const bool sends = request.direction == DataDirection::Out && request.length > 0 &&
                       request.data_out != nullptr;
    if (sends) traced.sent_sha256 = Sha256Hex({request.data_out, request.length});

    const auto start = std::chrono::steady_clock::now();
    PassThroughResult result = inner_.PassThrough(handle, request);
    traced.duration_us =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count());
    if (request.direction == DataDirection::In && request.length > 0 && request.data_in != nullptr)
        traced.received.assign(request.data_in, request.data_in + request.length);
    traced.result = result;
    Record(std::move(traced));
    return result;
}

}  // namespace torvex
