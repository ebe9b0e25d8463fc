#include "trace/recording_platform.h"

#include <chrono>

namespace torvex {

RecordingPlatform::RecordingPlatform(DevicePlatform& inner, PlatformRecordSink sink,
                                     std::function<std::uint64_t()> clock_ms)
    : ForwardingPlatform(inner), sink_(std::move(sink)), clock_ms_(std::move(clock_ms)) {}

DiskListing RecordingPlatform::ListDiskInterfaces() {
    DiskListing listing = Inner().ListDiskInterfaces();
    Record(listing);
    return listing;
}

DeviceHandle RecordingPlatform::OpenExclusive(std::u16string_view path) {
    TracedOpen open;
    open.path = std::u16string(path);
    open.handle = Inner().OpenExclusive(path);
    if (open.handle == kInvalidDeviceHandle)
        open.error = Inner().LastOpenError();
    else
        open.proven_id = Inner().OpenedParentDeviceId(open.handle);
    Record(open);
    return open.handle;
}

void RecordingPlatform::Close(DeviceHandle handle) {
    Inner().Close(handle);
    Record(TracedClose{handle});
}

PassThroughResult RecordingPlatform::PassThrough(DeviceHandle handle,
                                                 const PassThroughRequest& request) {
    TracedRequest traced = TracedRequestOf(handle, request);

    const auto start = std::chrono::steady_clock::now();
    PassThroughResult result = Inner().PassThrough(handle, request);
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
