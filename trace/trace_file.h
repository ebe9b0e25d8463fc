#pragma once
// The trace file: one JSON object per line. The platform's calls are written as they happen
// ("list" with one "disk" line per listed disk, "open", "close", "request"); the runner adds
// lines of its own (marks: the ticks, clicks and device changes it dispatched, its start and its
// end). Reading gives the calls back as records and the marks as they were, each with its line
// number, so that a replay can name the line where a run leaves the trace.

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "trace/json_line.h"
#include "trace/platform_trace.h"

namespace torvex {

class TraceWriter {
  public:
    // Writes to `out` (not owned), flushing each line so that a run that dies leaves its trace.
    explicit TraceWriter(std::FILE* out) : out_(out), start_(std::chrono::steady_clock::now()) {}

    std::uint64_t ElapsedMs() const;
    void Write(const PlatformRecord& record);
    // A line of the runner's own; it should start with "t" and "op".
    void WriteLine(const JsonLine& line);
    // False once a write failed (a full disk); the run goes on without its trace.
    bool Healthy() const { return healthy_; }

  private:
    std::FILE* out_;
    std::chrono::steady_clock::time_point start_;
    bool healthy_ = true;
};

// One line for messages: "a listing of the disks", "an open of /dev/sdb", "a close of handle 3",
// "request FF A0 04 00 ... (in, 64 bytes, handle 3)" (with the digest of data sent).
std::string DescribeCall(const PlatformCall& call);

// The lines of one record ("t" first, then "op").
std::vector<std::string> TraceLines(const PlatformRecord& record);

struct TraceMark {
    std::string op;
    JsonObject fields;
};

struct TraceItem {
    std::size_t line = 0;  // 1-based line of the file where the item starts
    std::variant<PlatformRecord, TraceMark> content;
};

struct TraceReading {
    std::vector<TraceItem> items;
    std::string error;  // "line 12: ..."; empty when the whole text was read
};

// Reads a whole trace. Blank lines are skipped; any other line that is not one of the objects
// this file writes (with its fields of the right kinds) stops the reading with an error.
TraceReading ReadTrace(std::string_view text);

}  // namespace torvex
