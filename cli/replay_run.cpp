#include "cli/replay_run.h"

#include <fstream>
#include <sstream>

#include "cli/runner.h"

namespace torvex::cli {

namespace {

constexpr std::int64_t kTraceFormat = 1;
// A trace of a whole update is well under a megabyte; this bounds what a wrong file costs.
constexpr std::streamoff kLargestTrace = 256LL << 20;

// A replayed run, which no real clock times out: the trace's end line ends it. Its clock moves a
// millisecond a tick, so that no trace a file can hold reaches the time-out.
constexpr std::chrono::hours kReplayTimeout{24 * 365};
constexpr int kReplayTickMs = 1;

// The trace instead of a system: its platform, its device changes, its clock.
class ReplayRun final : public RunSystem {
  public:
    ReplayRun(std::vector<TraceItem> items, bool real_devices)
        : platform_(std::move(items)), events_(platform_), real_devices_(real_devices) {}

    DevicePlatform& Platform() override { return platform_; }
    DeviceEventSource& DeviceChanges() override { return events_; }
    void Wait(Clock::time_point until) override { events_.WaitUntil(until); }
    Clock::time_point Now() override { return events_.Now(); }
    ReplayPlatform* Replay() override { return &platform_; }
    // As the recorded run was: a replay of a run on real devices refuses sample firmware as it
    // did.
    bool OnRealDevices() const override { return real_devices_; }

  private:
    ReplayPlatform platform_;
    ReplayEvents events_;
    bool real_devices_;
};

std::string LineOf(const ReplayPlatform& replay) {
    return "line " + std::to_string(replay.LastLine());
}

std::string_view EntryWord(LoopEntry entry) {
    return entry == LoopEntry::Tick ? "tick" : entry == LoopEntry::Click ? "click" : "device";
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the trace file '" + EchoedSafely(path) + "'";
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    if (in.tellg() > kLargestTrace) {
        error = "the trace file '" + EchoedSafely(path) + "' is larger than a trace can be";
        return std::nullopt;
    }
    in.seekg(0);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string* TextField(const TraceMark& mark, std::string_view key) {
    const auto found = mark.fields.find(key);
    if (found == mark.fields.end() || found->second.kind != JsonValue::Kind::String) return nullptr;
    return &found->second.text;
}

// The run's options, as the trace's first line records them; an error text when it is not the
// first line of a trace this program writes.
std::optional<std::string> OptionsFromHeader(const TraceItem& first, Options& options) {
    const auto* header = std::get_if<TraceMark>(&first.content);
    const std::string not_a_trace = "line 1 is not the start of a torvex-isp-cli trace";
    if (header == nullptr || header->op != "trace") return not_a_trace;
    const auto format = header->fields.find("format");
    if (format == header->fields.end() || format->second.kind != JsonValue::Kind::Number ||
        format->second.number != kTraceFormat)
        return "the trace is of another format than " + std::to_string(kTraceFormat);
    const std::string* command = TextField(*header, "command");
    if (command == nullptr || (*command != "list" && *command != "update")) return not_a_trace;
    options.list = *command == "list";
    if (const std::string* port = TextField(*header, "port")) options.port = *port;
    if (const std::string* serial = TextField(*header, "serial")) options.serial = *serial;
    const auto allowed = header->fields.find("allow_sample_firmware");
    options.allow_sample_firmware = allowed != header->fields.end() &&
                                    allowed->second.kind == JsonValue::Kind::Bool &&
                                    allowed->second.flag;
    return std::nullopt;
}

// The recorded run was on a machine's devices (where sample firmware may be refused).
bool RecordedOnRealDevices(const TraceItem& first) {
    const auto* devices = TextField(std::get<TraceMark>(first.content), "devices");
    return devices != nullptr && *devices == "real";
}

}  // namespace

int RunReplay(const Options& options, const FirmwareBlockStore& blocks, std::FILE* out,
              std::FILE* err) {
    std::string error;
    const std::optional<std::string> text = ReadWholeFile(*options.replay, error);
    if (!text) {
        PrintErrorTo(err, error);
        return kExitBadUsage;
    }
    TraceReading reading = ReadTrace(*text);
    Options replayed = options;
    replayed.replay.reset();
    if (reading.error.empty() && reading.items.empty()) reading.error = "the trace is empty";
    if (reading.error.empty()) {
        if (auto header_error = OptionsFromHeader(reading.items.front(), replayed))
            reading.error = *header_error;
    }
    if (!reading.error.empty()) {
        PrintErrorTo(err, "replay: " + EchoedSafely(*options.replay) + ": " + reading.error);
        return kExitBadUsage;
    }
    const bool real_devices = RecordedOnRealDevices(reading.items.front());
    reading.items.erase(reading.items.begin());
    ReplayRun run(std::move(reading.items), real_devices);
    replayed.timeout_s = static_cast<int>(std::chrono::seconds(kReplayTimeout).count());
    replayed.tick_ms = kReplayTickMs;
    return RunTool(run, blocks, replayed, out, err);
}

std::vector<std::uint32_t> ReplayEvents::TakeDueEvents(Clock::time_point) {
    const TraceMark* next = replay_.PeekMark();
    if (next == nullptr || next->op != "device") return {};
    const TraceMark* mark = replay_.TakeMark();
    const auto type = mark->fields.find("type");
    if (type == mark->fields.end() || type->second.kind != JsonValue::Kind::Number) {
        replay_.Leave(LineOf(replay_) + ": a device change without its type");
        return {};
    }
    return {static_cast<std::uint32_t>(type->second.number)};
}

DeviceEventSource::Clock::time_point ReplayEvents::NextDue() const {
    const TraceMark* next = replay_.PeekMark();
    return next != nullptr && next->op == "device" ? now_ : Clock::time_point::max();
}

void ReplayDispatching(ReplayPlatform& replay, LoopEntry entry) {
    if (entry == LoopEntry::DeviceChange) return;  // taken by ReplayEvents
    const TraceMark* next = replay.PeekMark();
    if (next != nullptr && next->op == EntryWord(entry)) {
        replay.TakeMark();
        return;
    }
    if (next == nullptr) {
        replay.TakeMark();  // names the call the run did not make
        return;
    }
    replay.Leave("the run made a " + std::string(EntryWord(entry)) + " where the trace has its '" +
                 next->op + "' (line " + std::to_string(replay.NextLine()) + ")");
}

std::optional<int> ReplayStop(ReplayPlatform& replay, const HeadlessWindow& window) {
    if (replay.Diverged()) return kExitLeftTrace;
    const TraceMark* next = replay.PeekMark();
    if (next == nullptr || next->op == "end") return ExitStatusFor(window.Ending());
    if (next->op != "tick" && next->op != "click" && next->op != "device") {
        replay.TakeMark();
        replay.Leave(LineOf(replay) + ": '" + next->op + "' is no tick, click or device change");
        return kExitLeftTrace;
    }
    return std::nullopt;
}

int ReplayVerdict(ReplayPlatform& replay, int status, std::FILE* err) {
    std::string reason;
    const TraceMark* end = replay.Diverged() ? nullptr : replay.TakeMark();
    if (replay.Diverged()) {
        reason = replay.Divergence();
    } else if (end == nullptr) {
        reason = "the trace has no end line";
    } else if (end->op != "end") {
        reason = "the run ended where the trace goes on with its '" + end->op + "' (line " +
                 std::to_string(replay.LastLine()) + ")";
    } else {
        const auto exit = end->fields.find("exit");
        const bool same = exit != end->fields.end() &&
                          exit->second.kind == JsonValue::Kind::Number &&
                          exit->second.number == status;
        if (!same)
            reason = "the run ended with exit status " + std::to_string(status) +
                     ", the recorded run otherwise (line " + std::to_string(replay.LastLine()) +
                     ")";
        else if (!replay.AtEnd())
            reason = "the trace goes on after its end line";
    }
    if (reason.empty()) return status;
    PrintErrorTo(err, "replay: " + reason);
    return kExitLeftTrace;
}

}  // namespace torvex::cli
