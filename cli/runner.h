#pragma once
// The headless runner, the same on every system: options and help, the virtual product's set-up,
// start-up, the event loop and the exit status. Each system's main gives only what differs: how
// the loop sleeps, and the run on its real devices (platform, device-change source, what it says
// beside the run).

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/event_loop.h"
#include "cli/options.h"
#include "device/device_event_source.h"
#include "device/device_platform.h"
#include "firmware/embedded_images.h"
#include "trace/replay_platform.h"

namespace torvex::cli {

// One run of the tool.
struct ToolRun {
    DevicePlatform& platform;
    DeviceEventSource& events;
    const FirmwareBlockStore& blocks;
    WaitForEvents wait;
    // After start-up and after every tick, click and device change (the Linux back end shows its
    // advice on raw SCSI access from here).
    std::function<void()> after_each_event;
    // Real devices with a build that carries sample firmware: write nothing (see
    // DialogCore::RefuseWritingSampleFirmware).
    bool refuse_sample_firmware = false;
    // When the update starts writing the product, and when the run ends (Linux: a sleep
    // inhibitor is held in between).
    std::function<void()> update_writing = {};
    std::function<void()> run_ended = {};
    // Told once the runner keeps to one product's USB port (--port, or the one product it found):
    // the device-change source may then leave out the other ports' changes.
    std::function<void(const std::u16string& port)> keep_to_port = {};
    // Set when `platform` answers from a trace (--replay): the trace's own ticks, clicks and
    // device changes drive the run instead of the clock and `events`.
    ReplayPlatform* replay = nullptr;
};

// Starts the tool and runs it until an ending or the time-out; returns the exit status. A start-up
// that stops (a firmware block is missing, so Update F/W can never be enabled) ends at once with
// kExitNoEnding. Status-log lines go to `out`; message-box texts, and with --verbose the
// transport's diagnostics, go to `err`.
int RunTool(const ToolRun& run, const Options& options, std::FILE* out, std::FILE* err);

// What a system's main gives the runner.
struct RunnerSystem {
    WaitForEvents wait;
    // Runs the tool on this machine's real devices.
    std::function<int(const Options&)> run_on_devices;
};

// The whole runner: parses `args`, answers --help and bad usage, runs a --virtual product or the
// system's real devices; returns the exit status.
int RunRunner(const std::vector<std::string>& args, const FirmwareBlockStore& blocks,
              const RunnerSystem& system);

// "torvex-isp-cli: <text>" and a line end, on stderr.
void PrintError(const std::string& text);
// The same on another stream (a run's own stderr).
void PrintErrorTo(std::FILE* err, const std::string& text);

}  // namespace torvex::cli
