// A trace as --replay reads it, from any text: the reader, then the whole tool (DialogCore) run
// against the replay platform, driven by the trace's own ticks, clicks and device changes.
//
// Input: the trace file's text.

#include <string_view>

#include "app/dialog_core.h"
#include "fuzz/fuzz_support.h"
#include "trace/replay_platform.h"
#include "trace/trace_file.h"

namespace torvex::fuzz {
namespace {

// Every call after the replay left its trace fails, whatever the trace still holds.
void CheckLeftTraceFails(ReplayPlatform& replay) {
    if (!replay.Diverged()) return;
    Require(replay.ListDiskInterfaces().failure == ListingFailure::InterfaceSet,
            "a listing after the replay left its trace fails");
    Require(replay.OpenExclusive(u"x") == kInvalidDeviceHandle,
            "an open after the replay left its trace fails");
    const std::uint8_t cdb[16] = {0xFF};
    std::uint8_t reply[4] = {};
    PassThroughRequest request;
    request.cdb = cdb;
    request.data_in = reply;
    request.length = sizeof reply;
    Require(!replay.PassThrough(1, request).delivered,
            "a request after the replay left its trace is not delivered");
}

// The trace's marks dispatched in their order, for a bounded number: here they drive the tool
// directly (the runner checks them against its own event loop), so that any trace reaches it.
void Drive(ReplayPlatform& replay, DialogCore& core, LineWindow& window) {
    core.OnInitDialog();
    for (int entries = 0; entries < 200 && !replay.Diverged(); ++entries) {
        const TraceMark* mark = replay.TakeMark();
        if (mark == nullptr || mark->op == "end") break;
        if (mark->op == "tick") core.OnReplugTimer();
        if (mark->op == "click") core.OnUpdateFw();
        if (mark->op == "device") {
            const auto type = mark->fields.find("type");
            if (type != mark->fields.end())
                core.OnDeviceChange(static_cast<std::uint32_t>(type->second.number));
        }
        if (!window.endings.empty()) break;
    }
}

}  // namespace
}  // namespace torvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torvex;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TraceReading reading = ReadTrace(text);
    if (!reading.error.empty()) {
        fuzz::Require(reading.items.empty(), "a trace that cannot be read yields nothing");
        fuzz::Require(reading.error.rfind("line ", 0) == 0, "a reading error names its line");
        return 0;
    }
    // What was read is written back in a form that reads again.
    for (const TraceItem& item : reading.items) {
        if (const auto* record = std::get_if<PlatformRecord>(&item.content)) {
            std::string lines;
            for (const std::string& line : TraceLines(*record)) lines += line + "\n";
            fuzz::Require(ReadTrace(lines).error.empty(), "a record written back reads again");
        }
    }
    ReplayPlatform replay(std::move(reading.items));
    fuzz::LineWindow window;
    fuzz::PatternedBlocks blocks;
    DialogCore core(window, replay, blocks);
    fuzz::Drive(replay, core, window);
    fuzz::CheckLeftTraceFails(replay);
    return 0;
}
