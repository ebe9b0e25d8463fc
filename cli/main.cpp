// torvex-isp-cli: the tool without a window, for scripts and factory lines. It finds the product,
// clicks Update F/W once when the tool first allows it, follows the update through every
// re-enumeration and exits with a status that tells how it ended.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_core.h"
#include "base/text.h"
#include "cli/event_loop.h"
#include "cli/headless_window.h"
#include "cli/options.h"
#include "device/linux/device_monitor.h"
#include "device/linux/linux_device_platform.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"
#include "simulator/virtual_product_events.h"

namespace {

constexpr int kBadUsage = 64;
constexpr int kNoEnding = 3;
constexpr int kVirtualReturnTicks = 3;

std::vector<std::string> VirtualStateNames() {
    std::vector<std::string> names;
    for (auto preset : torvex::sim::AllPresets())
        names.emplace_back(torvex::sim::PresetName(preset));
    return names;
}

void PrintAdvice(std::u16string_view advice) {
    if (!advice.empty()) std::fprintf(stderr, "%s\n", torvex::ToUtf8(advice).c_str());
}

int Run(torvex::DevicePlatform& platform, torvex::DeviceEventSource& events,
        const torvex::cli::Options& options, torvex::linux_backend::LinuxDevicePlatform* real) {
    torvex::cli::HeadlessWindow window(stdout, stderr);
    torvex::DialogCore core(window, platform, torvex::CompiledFirmwareBlocks());
    const bool started = core.OnInitDialog();
    if (real != nullptr) PrintAdvice(real->TakeRawAccessAdvice());
    // Without every firmware block the tool never enables Update F/W: no ending can come.
    if (!started) return kNoEnding;
    torvex::cli::LoopTiming timing;
    timing.tick = std::chrono::milliseconds(options.tick_ms);
    timing.timeout = std::chrono::seconds(options.timeout_s);
    if (real != nullptr)
        timing.after_each_event = [real] { PrintAdvice(real->TakeRawAccessAdvice()); };
    return torvex::cli::RunEventLoop(core, window, events, timing);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = torvex::cli::ParseOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "torvex-isp-cli: %s\nTry 'torvex-isp-cli --help'.\n",
                     parsed.error.c_str());
        return kBadUsage;
    }
    const torvex::cli::Options& options = *parsed.options;
    if (options.help) {
        std::fputs(torvex::cli::HelpText(VirtualStateNames()).c_str(), stdout);
        return 0;
    }

    if (options.virtual_state) {
        const auto preset = torvex::sim::ParsePresetName(*options.virtual_state);
        if (!preset) {
            std::fprintf(stderr, "torvex-isp-cli: unknown virtual state '%s'\n",
                         options.virtual_state->c_str());
            return kBadUsage;
        }
        torvex::sim::VirtualPlatform platform;
        auto& product = platform.AddProduct(torvex::sim::PresetConfig(*preset));
        // Like a real product, it is back a few ticks after it left, whatever the tick.
        product.Timing().return_delay_ms =
            static_cast<std::uint32_t>(std::min(2000, kVirtualReturnTicks * options.tick_ms));
        torvex::sim::VirtualProductEvents events(platform);
        return Run(platform, events, options, nullptr);
    }

    torvex::linux_backend::LinuxDevicePlatform platform;
    torvex::linux_backend::DeviceMonitor events;
    return Run(platform, events, options, &platform);
}
