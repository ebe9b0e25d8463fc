#include "trace/replay_platform.h"

#include <algorithm>

namespace torvex {

namespace {

bool SameCall(const PlatformCall& made, const PlatformCall& recorded) {
    if (made.index() != recorded.index()) return false;
    if (const auto* open = std::get_if<TracedOpen>(&made))
        return open->path == std::get<TracedOpen>(recorded).path;
    if (const auto* close = std::get_if<TracedClose>(&made))
        return close->handle == std::get<TracedClose>(recorded).handle;
    if (const auto* request = std::get_if<TracedRequest>(&made)) {
        const auto& other = std::get<TracedRequest>(recorded);
        return request->handle == other.handle && request->cdb == other.cdb &&
               request->direction == other.direction && request->length == other.length &&
               request->sent_sha256 == other.sent_sha256;
    }
    return true;  // a listing asks nothing
}

std::string Ordinal(std::size_t n) {
    const std::size_t tens = n % 100;
    const char* suffix = "th";
    if (tens < 11 || tens > 13) {
        if (n % 10 == 1) suffix = "st";
        if (n % 10 == 2) suffix = "nd";
        if (n % 10 == 3) suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

}  // namespace

void ReplayPlatform::Diverge(const PlatformCall& made, std::string where) {
    if (Diverged()) return;
    divergence_ = "the run made " + DescribeCall(made) + " where the trace has " + where;
}

const PlatformRecord* ReplayPlatform::Take(const PlatformCall& made) {
    if (Diverged()) return nullptr;
    const bool request = std::holds_alternative<TracedRequest>(made);
    if (next_ >= items_.size()) {
        Diverge(made, "nothing more");
        return nullptr;
    }
    const TraceItem& item = items_[next_];
    const std::string line = "line " + std::to_string(item.line);
    if (const auto* mark = std::get_if<TraceMark>(&item.content)) {
        Diverge(made, "the run's '" + mark->op + "' (" + line + ")");
        return nullptr;
    }
    const PlatformRecord& recorded = std::get<PlatformRecord>(item.content);
    const bool recorded_request = std::holds_alternative<TracedRequest>(recorded.call);
    if (!SameCall(made, recorded.call)) {
        std::string where = DescribeCall(recorded.call) + " (" + line;
        if (recorded_request) where += ", the " + Ordinal(requests_ + 1) + " request";
        Diverge(made, where + ")");
        return nullptr;
    }
    if (request) ++requests_;
    last_line_ = item.line;
    ++next_;
    return &recorded;
}

DiskListing ReplayPlatform::ListDiskInterfaces() {
    const PlatformRecord* recorded = Take(DiskListing{});
    if (recorded == nullptr) return DiskListing{{}, ListingFailure::InterfaceSet};
    return std::get<DiskListing>(recorded->call);
}

DeviceHandle ReplayPlatform::OpenExclusive(std::u16string_view path) {
    TracedOpen made;
    made.path = std::u16string(path);
    const PlatformRecord* recorded = Take(made);
    if (recorded == nullptr) {
        last_open_error_ = "the replay left its trace";
        return kInvalidDeviceHandle;
    }
    const auto& open = std::get<TracedOpen>(recorded->call);
    last_open_error_ = open.error;
    if (open.handle != kInvalidDeviceHandle) proven_[open.handle] = open.proven_id;
    return open.handle;
}

std::u16string ReplayPlatform::OpenedParentDeviceId(DeviceHandle handle) const {
    const auto proven = proven_.find(handle);
    return proven == proven_.end() ? std::u16string() : proven->second;
}

void ReplayPlatform::Close(DeviceHandle handle) {
    if (Take(TracedClose{handle}) != nullptr) proven_.erase(handle);
}

PassThroughResult ReplayPlatform::PassThrough(DeviceHandle handle,
                                              const PassThroughRequest& request) {
    const PlatformRecord* recorded = Take(TracedRequestOf(handle, request));
    if (recorded == nullptr) {
        PassThroughResult failed;
        failed.error = TransportError::Other;
        failed.diagnostic = "the replay left its trace";
        return failed;
    }
    const auto& traced = std::get<TracedRequest>(recorded->call);
    if (request.direction == DataDirection::In && request.data_in != nullptr) {
        const std::size_t bytes = std::min<std::size_t>(traced.received.size(), request.length);
        std::copy_n(traced.received.begin(), bytes, request.data_in);
    }
    return traced.result;
}

const TraceMark* ReplayPlatform::PeekMark() const {
    if (Diverged() || next_ >= items_.size()) return nullptr;
    return std::get_if<TraceMark>(&items_[next_].content);
}

const TraceMark* ReplayPlatform::TakeMark() {
    if (Diverged() || next_ >= items_.size()) return nullptr;
    const TraceItem& item = items_[next_];
    if (const auto* mark = std::get_if<TraceMark>(&item.content)) {
        last_line_ = item.line;
        ++next_;
        return mark;
    }
    const PlatformRecord& recorded = std::get<PlatformRecord>(item.content);
    divergence_ = "the run did not make " + DescribeCall(recorded.call) + " (line " +
                  std::to_string(item.line) + ")";
    return nullptr;
}

}  // namespace torvex
