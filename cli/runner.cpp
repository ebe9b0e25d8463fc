#include "cli/runner.h"

#include <algorithm>

#include "app/dialog_core.h"
#include "cli/headless_window.h"
#include "cli/interruption.h"
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

int RunVirtual(const Options& options, const FirmwareBlockStore& blocks,
               const WaitForEvents& wait) {
    const auto preset = sim::ParsePresetName(*options.virtual_state);
    if (!preset) {
        PrintError("unknown virtual state '" + EchoedSafely(*options.virtual_state) + "'");
        return kExitBadUsage;
    }
    sim::VirtualPlatform platform;
    auto& product = platform.AddProduct(sim::PresetConfig(*preset));
    // Like a real product, it is back a few ticks after it left, whatever the tick.
    product.Timing().return_delay_ms =
        static_cast<std::uint32_t>(std::min(2000, kVirtualReturnTicks * options.tick_ms));
    sim::VirtualProductEvents events(platform);
    return RunTool({platform, events, blocks, wait, {}}, options, stdout, stderr);
}

}  // namespace

void PrintError(const std::string& text) {
    Print(stderr, "torvex-isp-cli: " + text + "\n");
}

int RunTool(const ToolRun& run, const Options& options, std::FILE* out, std::FILE* err) {
    HeadlessWindow window(out, err);
    window.SetRunHooks(run.update_writing, run.run_ended);
    DialogCore core(window, run.platform, run.blocks);
    if (run.refuse_sample_firmware) core.RefuseWritingSampleFirmware();
    if (options.verbose) {
        core.Transport().SetDiagnosticSink(
            [err](const std::string& line) { Print(err, kTransportPrefix + line + "\n"); });
    }
    const bool started = core.OnInitDialog();
    if (run.after_each_event) run.after_each_event();
    if (!started) return kExitNoEnding;

    LoopTiming timing;
    timing.tick = std::chrono::milliseconds(options.tick_ms);
    timing.timeout = std::chrono::seconds(options.timeout_s);
    timing.after_each_event = run.after_each_event;
    return RunEventLoop(core, window, run.events, timing, run.wait);
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
    if (options.virtual_state) return RunVirtual(options, blocks, system.wait);
    return system.run_on_devices(options);
}

}  // namespace torvex::cli
