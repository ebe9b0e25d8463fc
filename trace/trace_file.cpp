#include "trace/trace_file.h"

#include <array>
#include <span>

#include "base/hex_text.h"
#include "base/text.h"
#include "trace/trace_names.h"

namespace torvex {

namespace {

std::span<const std::uint8_t> SenseOf(const PassThroughResult& result) {
    return std::span<const std::uint8_t>(result.sense.data(),
                                         std::min<std::size_t>(result.sense_length, kSenseLength));
}

std::vector<std::string> ListingLines(std::uint64_t time_ms, const DiskListing& listing) {
    std::vector<std::string> lines;
    lines.push_back(JsonLine()
                        .Number("t", static_cast<std::int64_t>(time_ms))
                        .Text("op", "list")
                        .Text("failure", ListingFailureName(listing.failure))
                        .Number("disks", static_cast<std::int64_t>(listing.disks.size()))
                        .Str());
    for (const DiskInterface& disk : listing.disks)
        lines.push_back(JsonLine()
                            .Text("op", "disk")
                            .Text("compatible_ids", ToUtf8(disk.compatible_ids))
                            .Text("parent", ToUtf8(disk.parent_device_id))
                            .Text("path", ToUtf8(disk.path))
                            .Text("port", ToUtf8(disk.port_path))
                            .Str());
    return lines;
}

std::string RequestLine(std::uint64_t time_ms, const TracedRequest& request) {
    const PassThroughResult& result = request.result;
    JsonLine line;
    line.Number("t", static_cast<std::int64_t>(time_ms))
        .Text("op", "request")
        .Number("handle", request.handle)
        .Text("cdb", HexText(request.cdb))
        .Text("dir", request.length == 0 ? "none" : DirectionName(request.direction))
        .Text("flag", DirectionName(request.direction))
        .Number("length", request.length)
        .Text("sent_sha256", request.sent_sha256)
        .Text("received", HexText(request.received))
        .Flag("delivered", result.delivered);
    // Written only when set: the product may hold the request, so a replay must not resend it.
    if (result.outcome_unknown) line.Flag("outcome_unknown", true);
    line.Number("status", result.scsi_status)
        .Text("error", TransportErrorName(result.error))
        .Text("sense", HexText(SenseOf(result)))
        .Text("diagnostic", result.diagnostic)
        .Number("us", static_cast<std::int64_t>(request.duration_us));
    return line.Str();
}

}  // namespace

std::vector<std::string> TraceLines(const PlatformRecord& record) {
    const auto t = static_cast<std::int64_t>(record.time_ms);
    if (const auto* listing = std::get_if<DiskListing>(&record.call))
        return ListingLines(record.time_ms, *listing);
    if (const auto* open = std::get_if<TracedOpen>(&record.call))
        return {JsonLine()
                    .Number("t", t)
                    .Text("op", "open")
                    .Text("path", ToUtf8(open->path))
                    .Number("handle", open->handle)
                    .Text("error", open->error)
                    .Text("proven", ToUtf8(open->proven_id))
                    .Str()};
    if (const auto* close = std::get_if<TracedClose>(&record.call))
        return {
            JsonLine().Number("t", t).Text("op", "close").Number("handle", close->handle).Str()};
    return {RequestLine(record.time_ms, std::get<TracedRequest>(record.call))};
}

std::uint64_t TraceWriter::ElapsedMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start_)
                                          .count());
}

void TraceWriter::Write(const PlatformRecord& record) {
    for (const std::string& line : TraceLines(record)) {
        if (!healthy_) return;
        healthy_ = std::fputs(line.c_str(), out_) >= 0 && std::fputc('\n', out_) != EOF &&
                   std::fflush(out_) == 0;
    }
}

void TraceWriter::WriteLine(const JsonLine& line) {
    if (!healthy_) return;
    healthy_ = std::fputs(line.Str().c_str(), out_) >= 0 && std::fputc('\n', out_) != EOF &&
               std::fflush(out_) == 0;
}

std::string DescribeCall(const PlatformCall& call) {
    if (std::holds_alternative<DiskListing>(call)) return "a listing of the disks";
    if (const auto* open = std::get_if<TracedOpen>(&call))
        return "an open of " + ToUtf8(ShownSafely(open->path));
    if (const auto* close = std::get_if<TracedClose>(&call))
        return "a close of handle " + std::to_string(close->handle);
    const auto& request = std::get<TracedRequest>(call);
    std::string text = "request " + HexText(request.cdb, HexDigits::Upper, " ") + " (" +
                       std::string(DirectionName(request.direction)) + ", " +
                       std::to_string(request.length) + " bytes";
    if (!request.sent_sha256.empty()) text += ", data sha256 " + request.sent_sha256;
    return text + ", handle " + std::to_string(request.handle) + ")";
}

}  // namespace torvex
