#pragma once
// What one run of the runner adds around the tool for production lines: the trace it writes
// (--trace) or answers from (--replay), the product it keeps to (--port, --serial, or the one
// product found), the window port (plain or --json), --list, the refusal to choose among several
// products, and how the run's end is written (the trace's end line, the JSON "ending" event, a
// replay's verdict).

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/dialog_core.h"
#include "cli/disk_list.h"
#include "cli/event_loop.h"
#include "cli/headless_window.h"
#include "cli/options.h"
#include "cli/product_selection.h"
#include "trace/recording_platform.h"
#include "trace/replay_platform.h"
#include "trace/trace_file.h"

namespace torvex::cli {

class RunSession {
  public:
    // `replay`: the platform answers from a trace, and the run is driven by its marks.
    RunSession(DevicePlatform& platform, ReplayPlatform* replay, const Options& options,
               std::FILE* out, std::FILE* err);
    ~RunSession();
    RunSession(const RunSession&) = delete;
    RunSession& operator=(const RunSession&) = delete;

    // An exit status when the run cannot start (bad usage: the trace file cannot be written).
    // `real_devices`: the run is on the machine's devices, which the trace's first line says
    // (with --allow-sample-firmware), so that a replay decides about sample firmware as the run
    // did.
    std::optional<int> Open(bool real_devices);
    // Before the tool starts: --list (its exit status), or the refusal when several products are
    // attached and none was chosen (exit status 4); nothing when the run goes on.
    std::optional<int> BeforeStart(const FirmwareBlockStore& blocks);

    DevicePlatform& Platform() { return selection_; }
    // The USB port the run keeps to, once chosen.
    const std::optional<std::u16string>& ChosenPort() const { return selection_.ChosenPort(); }
    HeadlessWindow& Window() { return *window_; }

    // Adds to the loop the trace's marks (--trace), the replay's checks of them (--replay) and the
    // stop for several products.
    void Hook(LoopTiming& timing);
    // The run's end with this exit status; returns the status to exit with.
    int Finish(int status);

  private:
    int List(const FirmwareBlockStore& blocks);
    void PrintDisks(const DiskList& list);
    int RefuseSeveralProducts(const DiskListing& listing);
    std::string ResultName(int status) const;

    const Options& options_;
    std::FILE* out_;
    std::FILE* err_;
    std::chrono::steady_clock::time_point start_;
    ReplayPlatform* replay_;
    std::string trace_error_;  // why the trace file could not be made
    std::FILE* trace_file_ = nullptr;
    std::unique_ptr<TraceWriter> trace_;
    std::unique_ptr<RecordingPlatform> recording_;
    DevicePlatform& unselected_;  // the platform, or its recording
    ProductSelection selection_;
    std::unique_ptr<HeadlessWindow> window_;
    bool listed_ = false;
};

}  // namespace torvex::cli
