#pragma once
// The headless runner, the same on every system: options and help, the virtual product's set-up,
// start-up, the event loop and the exit status. Each system's main gives only what differs: how
// the loop sleeps, and the run on its real devices (platform, device-change source, what it says
// beside the run).

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cli/event_loop.h"
#include "cli/options.h"
#include "device/device_event_source.h"
#include "device/device_platform.h"
#include "firmware/embedded_images.h"
#include "trace/replay_platform.h"

namespace torvex::cli {

// What one run of the tool needs from the system it runs on, asked by name. A system gives what
// it has; the defaults add nothing.
class RunSystem {
  public:
    virtual ~RunSystem() = default;

    virtual DevicePlatform& Platform() = 0;
    // Where device changes come from: a udev monitor, the virtual product, a replayed trace.
    virtual DeviceEventSource& DeviceChanges() = 0;
    // Sleeps until DeviceChanges() may have something or `until` comes; it may return early.
    virtual void Wait(Clock::time_point until) = 0;
    // The event loop's clock.
    virtual Clock::time_point Now() { return Clock::now(); }
    // The machine's real devices: a build that carries sample firmware writes none of them
    // unless the operator allows it (RefuseSampleFirmware).
    virtual bool OnRealDevices() const { return false; }
    // After start-up and after every tick, click and device change (Linux: the back end's advice
    // on raw SCSI access, the mounts that hold the product).
    virtual void AfterEachEvent() {}
    // The update starts writing the product, and the run ended (Linux: a sleep inhibitor is held
    // in between).
    virtual void UpdateWriting() {}
    virtual void RunEnded() {}
    // The runner keeps to this USB port from now on (--port, or the one product it found): the
    // device-change source may leave out the other ports' changes.
    virtual void KeepToPort(const std::u16string& /*port*/) {}
    // The platform answering from a trace (--replay): the trace's own ticks, clicks and device
    // changes drive the run, and its end line ends it.
    virtual ReplayPlatform* Replay() { return nullptr; }
};

// A platform and its device changes, waited for by `wait`, with nothing beside the run: the
// virtual product, and the tests' own platforms.
class PlatformRun final : public RunSystem {
  public:
    PlatformRun(DevicePlatform& platform, DeviceEventSource& events, WaitForEvents wait)
        : platform_(platform), events_(events), wait_(std::move(wait)) {}

    DevicePlatform& Platform() override { return platform_; }
    DeviceEventSource& DeviceChanges() override { return events_; }
    void Wait(Clock::time_point until) override { wait_(events_, until); }

  private:
    DevicePlatform& platform_;
    DeviceEventSource& events_;
    WaitForEvents wait_;
};

// Starts the tool and runs it until an ending or the time-out; returns the exit status. A start-up
// that stops (a firmware block is missing, so Update F/W can never be enabled) ends at once with
// kExitNoEnding. Status-log lines go to `out`; message-box texts, and with --verbose the
// transport's diagnostics, go to `err`.
int RunTool(RunSystem& system, const FirmwareBlockStore& blocks, const Options& options,
            std::FILE* out, std::FILE* err);

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
