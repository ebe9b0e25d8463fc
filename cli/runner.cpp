#include "cli/runner.h"

#include <algorithm>

#include "app/dialog_core.h"
#include "cli/headless_window.h"
#include "cli/interruption.h"
#include "cli/replay_run.h"
#include "cli/run_session.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"
#include "simulator/virtual_product_events.h"

namespace torvex::cli {

namespace {

constexpr int kVirtualReturnTicks = 3;
constexpr char kTransportPrefix[] = "torvex-isp-cli: transport: ";

std::vector<std::string> VirtualStateNames() {
    std::vector<std::string> names;
    for (auto preset : sim::AllPresets()) names.emplace_back(sim::PresetName(preset));
    return names;
}

void Print(std::FILE* file, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

// The states of "--virtual a,b,...", one product each; empty when one is unknown.
std::vector<sim::ProductPreset> VirtualPresets(const std::string& states) {
    std::vector<sim::ProductPreset> presets;
    for (std::size_t at = 0; at <= states.size();) {
        const std::size_t comma = std::min(states.find(',', at), states.size());
        const auto preset = sim::ParsePresetName(std::string_view(states).substr(at, comma - at));
        if (!preset) return {};
        presets.push_back(*preset);
        at = comma + 1;
    }
    return presets;
}

int RunVirtual(const Options& options, const FirmwareBlockStore& blocks,
               const WaitForEvents& wait) {
    const std::vector<sim::ProductPreset> presets = VirtualPresets(*options.virtual_state);
    if (presets.empty()) {
        PrintError("unknown virtual state '" + EchoedSafely(*options.virtual_state) + "'");
        return kExitBadUsage;
    }
    sim::VirtualPlatform platform;
    for (const sim::ProductPreset preset : presets) {
        auto& product = platform.AddProduct(sim::PresetConfig(preset));
        // Like a real product, it is back a few ticks after it left, whatever the tick, and its
        // removal is reported before it is back: within a tick of leaving.
        sim::ProductTiming& timing = product.Timing();
        timing.return_delay_ms =
            static_cast<std::uint32_t>(std::min(2000, kVirtualReturnTicks * options.tick_ms));
        timing.removal_event_delay_ms =
            std::min(timing.removal_event_delay_ms, static_cast<std::uint32_t>(options.tick_ms));
    }
    sim::VirtualProductEvents events(platform);
    PlatformRun run(platform, events, wait);
    return RunTool(run, blocks, options, stdout, stderr);
}

}  // namespace

void PrintError(const std::string& text) {
    PrintErrorTo(stderr, text);
}

void PrintErrorTo(std::FILE* err, const std::string& text) {
    Print(err, "torvex-isp-cli: " + text + "\n");
}

int RunTool(RunSystem& system, const FirmwareBlockStore& blocks, const Options& options,
            std::FILE* out, std::FILE* err) {
    RunSession session(system.Platform(), system.Replay(), options, out, err);
    if (const std::optional<int> failed = session.Open(system.OnRealDevices())) return *failed;
    if (const std::optional<int> done = session.BeforeStart(blocks)) {
        // --list, or the refusal to choose: what the platform has to say (rights, mounts).
        system.AfterEachEvent();
        return session.Finish(*done);
    }
    session.Window().SetRunHooks([&system] { system.UpdateWriting(); },
                                 [&system] { system.RunEnded(); });
    DialogCore core(session.Window(), session.Platform(), blocks);
    if (system.OnRealDevices() && RefuseSampleFirmware(options.allow_sample_firmware))
        core.RefuseWritingSampleFirmware();
    if (options.verbose) {
        core.Transport().SetDiagnosticSink(
            [err](const std::string& line) { Print(err, kTransportPrefix + line + "\n"); });
    }
    // The port is chosen by the first discovery that sees one product, at start-up or later.
    bool port_told = false;
    const auto after_each_event = [&] {
        system.AfterEachEvent();
        const std::optional<std::u16string>& port = session.ChosenPort();
        if (port && !port_told) system.KeepToPort(*port);
        port_told = port_told || port.has_value();
    };
    const bool started = core.OnInitDialog();
    after_each_event();
    if (!started) return session.Finish(kExitNoEnding);

    LoopTiming timing;
    timing.tick = std::chrono::milliseconds(options.tick_ms);
    timing.timeout = std::chrono::seconds(options.timeout_s);
    timing.now = [&system] { return system.Now(); };
    timing.after_each_event = after_each_event;
    session.Hook(timing);
    return session.Finish(RunEventLoop(
        core, session.Window(), system.DeviceChanges(), timing,
        [&system](const DeviceEventSource&, Clock::time_point until) { system.Wait(until); }));
}

int RunRunner(const std::vector<std::string>& args, const FirmwareBlockStore& blocks,
              const RunnerSystem& system) {
    const ParseResult parsed = ParseOptions(args);
    if (!parsed.options) {
        PrintError(parsed.error + "\nTry 'torvex-isp-cli --help'.");
        return kExitBadUsage;
    }
    const Options& options = *parsed.options;
    InstallInterruptionHandlers();
    if (options.help) {
        Print(stdout, HelpText(VirtualStateNames()));
        return 0;
    }
    if (options.version) {
        Print(stdout, std::string("torvex-isp-cli ") + TORVEX_VERSION + "\n");
        return 0;
    }
    if (options.replay) return RunReplay(options, blocks, stdout, stderr);
    if (options.virtual_state) return RunVirtual(options, blocks, system.wait);
    return system.run_on_devices(options);
}

}  // namespace torvex::cli
