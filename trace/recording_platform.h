#pragma once
// A device platform in front of another that passes every call through unchanged and hands a
// record of it (what was asked, what the platform answered, how long it took) to a sink: the
// runner's --trace writes them to a file, its --list keeps the identity blocks it needs.

#include <functional>

#include "device/device_platform.h"
#include "device/forwarding_platform.h"
#include "trace/platform_trace.h"

namespace torvex {

using PlatformRecordSink = std::function<void(const PlatformRecord&)>;

class RecordingPlatform final : public ForwardingPlatform {
  public:
    // `clock_ms` gives the record's time; the platform and the sink outlive this one.
    RecordingPlatform(DevicePlatform& inner, PlatformRecordSink sink,
                      std::function<std::uint64_t()> clock_ms);

    DiskListing ListDiskInterfaces() override;
    DeviceHandle OpenExclusive(std::u16string_view path) override;
    void Close(DeviceHandle handle) override;
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override;

  private:
    void Record(PlatformCall call) { sink_(PlatformRecord{clock_ms_(), std::move(call)}); }

    PlatformRecordSink sink_;
    std::function<std::uint64_t()> clock_ms_;
};

}  // namespace torvex
