#pragma once
// A device platform that answers from a trace: each call must be the one the trace holds next,
// and is answered as the recorded platform answered it. At the first call that differs (another
// command block, direction, length or data sent, another path or handle, a call where the trace
// has none, or one the trace has and the run does not make) the replay has diverged: it names
// that call and the trace's line, and every later call fails. The runner's own lines (its marks)
// are taken in turn by whoever drives the run.

#include <map>
#include <string>
#include <vector>

#include "device/device_platform.h"
#include "trace/trace_file.h"

namespace torvex {

class ReplayPlatform final : public DevicePlatform {
  public:
    explicit ReplayPlatform(std::vector<TraceItem> items) : items_(std::move(items)) {}

    DiskListing ListDiskInterfaces() override;
    DeviceHandle OpenExclusive(std::u16string_view path) override;
    std::string LastOpenError() const override { return last_open_error_; }
    std::u16string OpenedParentDeviceId(DeviceHandle handle) const override;
    void Close(DeviceHandle handle) override;
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override;

    // Takes the next item when it is a mark; null at the end of the trace, after a divergence,
    // and when the next item is a call the run did not make (a divergence).
    const TraceMark* TakeMark();
    // The next item is a mark (not a call), without taking it.
    const TraceMark* PeekMark() const;
    bool AtEnd() const { return next_ >= items_.size(); }
    // The line of the item taken last (0 before the first).
    std::size_t LastLine() const { return last_line_; }
    // The line of the item that comes next (0 at the end).
    std::size_t NextLine() const { return AtEnd() ? 0 : items_[next_].line; }

    bool Diverged() const { return !divergence_.empty(); }
    // The driver found a mark it cannot follow: the replay has diverged for that reason.
    void Leave(std::string reason) {
        if (!Diverged()) divergence_ = std::move(reason);
    }
    // "the run made request FF A0 05 ... where the trace has request FF A0 04 ... (line 23, the
    // 7th request)".
    const std::string& Divergence() const { return divergence_; }

  private:
    // The recorded call for `made` when it is the next item and the same call; else null, and
    // the replay has diverged.
    const PlatformRecord* Take(const PlatformCall& made);
    void Diverge(const PlatformCall& made, std::string where);

    std::vector<TraceItem> items_;
    std::size_t next_ = 0;
    std::size_t last_line_ = 0;
    std::size_t requests_ = 0;
    std::map<DeviceHandle, std::u16string> proven_;
    std::string last_open_error_;
    std::string divergence_;
};

}  // namespace torvex
