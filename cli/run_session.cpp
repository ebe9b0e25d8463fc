#include "cli/run_session.h"

#include <cerrno>
#include <cstring>

#include "base/text.h"
#include "cli/disk_list.h"
#include "cli/interruption.h"
#include "cli/json_window.h"
#include "cli/list_output.h"
#include "cli/replay_run.h"
#include "cli/runner.h"
#include "trace/trace_names.h"

namespace torvex::cli {

namespace {

constexpr int kTraceFormat = 1;

SelectionCriteria CriteriaOf(const Options& options) {
    SelectionCriteria criteria;
    if (options.port) criteria.port = FromUtf8(*options.port);
    if (options.serial) criteria.serial = FromUtf8(*options.serial);
    return criteria;
}

std::FILE* CreateTrace(const Options& options, std::string& error) {
    if (!options.trace) return nullptr;
    std::FILE* file = std::fopen(options.trace->c_str(), "wb");
    if (file == nullptr)
        error = "cannot write the trace file '" + EchoedSafely(*options.trace) +
                "': " + std::strerror(errno);
    return file;
}

std::string_view EntryName(LoopEntry entry) {
    switch (entry) {
        case LoopEntry::Tick:
            return "tick";
        case LoopEntry::Click:
            return "click";
        case LoopEntry::DeviceChange:
            return "device";
    }
    return "?";
}

}  // namespace

RunSession::RunSession(DevicePlatform& platform, ReplayPlatform* replay, const Options& options,
                       std::FILE* out, std::FILE* err)
    : options_(options),
      out_(out),
      err_(err),
      start_(std::chrono::steady_clock::now()),
      replay_(replay),
      trace_file_(CreateTrace(options, trace_error_)),
      trace_(trace_file_ != nullptr ? std::make_unique<TraceWriter>(trace_file_) : nullptr),
      recording_(trace_ ? std::make_unique<RecordingPlatform>(
                              platform, [this](const PlatformRecord& r) { trace_->Write(r); },
                              [this] { return trace_->ElapsedMs(); })
                        : nullptr),
      unselected_(recording_ ? static_cast<DevicePlatform&>(*recording_) : platform),
      selection_(unselected_, CriteriaOf(options)) {
    if (options.json) {
        window_ = std::make_unique<JsonWindow>(out, err, start_);
#if defined(_WIN32)
        EndJsonStreamOnStopAtOnce(_fileno(out), start_);
#else
        EndJsonStreamOnStopAtOnce(fileno(out), start_);
#endif
    } else {
        window_ = std::make_unique<HeadlessWindow>(out, err);
    }
}

RunSession::~RunSession() {
    EndJsonStreamOnStopAtOnce(-1, start_);
    if (trace_file_ != nullptr) std::fclose(trace_file_);
}

std::optional<int> RunSession::Open(bool real_devices) {
    if (!trace_error_.empty()) {
        PrintErrorTo(err_, trace_error_);
        return kExitBadUsage;
    }
    if (trace_) {
        JsonLine header;
        header.Number("t", 0).Text("op", "trace").Number("format", kTraceFormat);
        header.Text("program", "torvex-isp-cli").Text("command", options_.list ? "list" : "update");
        if (options_.port) header.Text("port", *options_.port);
        if (options_.serial) header.Text("serial", *options_.serial);
        if (real_devices) header.Text("devices", "real");
        if (options_.allow_sample_firmware) header.Flag("allow_sample_firmware", true);
        trace_->WriteLine(header);
    }
    return std::nullopt;
}

std::optional<int> RunSession::BeforeStart(const FirmwareBlockStore& blocks) {
    if (options_.list) return List(blocks);
    // Nothing is opened before every product has been seen: with several and none chosen, none
    // is touched.
    selection_.ListDiskInterfaces();
    if (const auto& several = selection_.SeveralProducts()) return RefuseSeveralProducts(*several);
    return std::nullopt;
}

void RunSession::PrintDisks(const DiskList& list) {
    auto* json = dynamic_cast<JsonWindow*>(window_.get());
    for (const ListedDisk& disk : list.disks) {
        if (json != nullptr) {
            JsonLine line = json->Event("disk");
            AddListedDisk(line, disk);
            json->Write(line);
        } else {
            const std::string line = PlainListLine(disk) + "\n";
            std::fwrite(line.data(), 1, line.size(), out_);
        }
    }
    std::fflush(out_);
}

int RunSession::List(const FirmwareBlockStore& blocks) {
    // Without --port or --serial every disk is listed, however many products there are.
    const bool filtered = options_.port || options_.serial;
    const DiskList list =
        ReadDiskList(filtered ? static_cast<DevicePlatform&>(selection_) : unselected_, blocks);
    PrintDisks(list);
    listed_ = true;
    if (list.failure == ListingFailure::None) return 0;
    PrintErrorTo(err_, "the listing of the disks stopped early (" +
                           std::string(ListingFailureName(list.failure)) + ")");
    return 1;
}

int RunSession::RefuseSeveralProducts(const DiskListing& listing) {
    // The list as discovery saw it: nothing is opened or sent to any of them.
    const DiskList list = DiskListOf(listing);
    PrintDisks(list);
    std::size_t products = 0;
    for (const ListedDisk& disk : list.disks) products += disk.code != ProductCode::NotTheProduct;
    PrintErrorTo(err_,
                 std::to_string(products) +
                     " products are attached: choose one with --port PATH (the first field of its "
                     "line) or --serial SN; nothing was sent");
    return kExitSeveralProducts;
}

void RunSession::Hook(LoopTiming& timing) {
    if (trace_) {
        timing.before_each_event = [this](LoopEntry entry, std::uint32_t event) {
            JsonLine line;
            line.Number("t", static_cast<std::int64_t>(trace_->ElapsedMs()))
                .Text("op", EntryName(entry));
            if (entry == LoopEntry::DeviceChange) line.Number("type", event);
            trace_->WriteLine(line);
        };
    }
    if (replay_ != nullptr) {
        timing.before_each_event = [this](LoopEntry entry, std::uint32_t) {
            ReplayDispatching(*replay_, entry);
        };
    }
    timing.stop_with = [this]() -> std::optional<int> {
        if (const auto& several = selection_.SeveralProducts())
            return RefuseSeveralProducts(*several);
        if (replay_ != nullptr) return ReplayStop(*replay_, *window_);
        return std::nullopt;
    };
}

std::string RunSession::ResultName(int status) const {
    const std::optional<RunEnding>& ending = window_->Ending();
    switch (status) {
        case 0:
            if (listed_) return "listed";
            return ending == RunEnding::AlreadyUpdated ? "already-updated" : "success";
        case 1:
            if (listed_) return "listing-failed";
            return ending == RunEnding::ReplugTimeout ? "replug-timeout" : "failure";
        case 2:
            return "not-supported";
        case kExitNoEnding:
            return "no-ending";
        case kExitSeveralProducts:
            return "several-products";
        case kExitLeftTrace:
            return "left-trace";
        case kExitInterrupted:
            return "interrupted";
        default:
            break;
    }
    return "stopped";
}

int RunSession::Finish(int status) {
    if (replay_ != nullptr) status = ReplayVerdict(*replay_, status, err_);
    if (trace_) {
        trace_->WriteLine(JsonLine()
                              .Number("t", static_cast<std::int64_t>(trace_->ElapsedMs()))
                              .Text("op", "end")
                              .Number("exit", status));
        if (!trace_->Healthy())
            PrintErrorTo(err_, "the trace file could not be written to its end");
    }
    if (auto* json = dynamic_cast<JsonWindow*>(window_.get()))
        json->Write(
            json->Event("ending").Text("result", ResultName(status)).Number("exit", status));
    return status;
}

}  // namespace torvex::cli
