// torvex-isp-cli on Windows: the tool without a window, on the PC's real disks or a virtual
// product. Status-log lines go to stdout and message-box texts to stderr, both UTF-8 with "\n"
// line ends; the exit status tells how the run ended.

#include <windows.h>
// windows.h first: shlobj.h relies on its types.
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/dialog_core.h"
#include "cli/headless_window.h"
#include "cli/options.h"
#include "cli/windows_message_loop.h"
#include "device/windows/windows_device_platform.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"
#include "simulator/virtual_product_events.h"

namespace {

constexpr int kBadUsage = 64;
constexpr int kCannotRun = 1;
constexpr int kVirtualReturnTicks = 3;

// Bytes go out as they are: no "\n" to "\r\n" translation (a line "\r" prints as "\r\n"), and a
// console shows them as UTF-8.
void UseBinaryUtf8Output() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

void PrintError(const std::string& text) {
    std::fprintf(stderr, "torvex-isp-cli: %s\n", text.c_str());
}

// Pass-through to a disk needs administrator rights; without them every open of the product
// fails, so the runner says why once, before it starts.
void WarnWithoutAdministratorRights() {
    if (!IsUserAnAdmin())
        PrintError("not running with administrator rights: the product cannot be opened");
}

std::vector<std::string> VirtualStateNames() {
    std::vector<std::string> names;
    for (auto preset : torvex::sim::AllPresets())
        names.emplace_back(torvex::sim::PresetName(preset));
    return names;
}

// `scheduled`: the virtual product's device changes; null: the system's broadcasts.
int Run(torvex::DevicePlatform& platform, torvex::DeviceEventSource* scheduled,
        const torvex::cli::Options& options) {
    torvex::cli::HeadlessWindow window(stdout, stderr);
    torvex::DialogCore core(window, platform, torvex::CompiledFirmwareBlocks());
    torvex::cli::WindowsMessageLoop loop(core, window, scheduled);
    if (!loop.Create()) {
        PrintError("cannot create the window that receives device changes (error " +
                   std::to_string(GetLastError()) + ")");
        return kCannotRun;
    }
    const bool started = core.OnInitDialog();
    torvex::cli::LoopTiming timing;
    timing.tick = std::chrono::milliseconds(options.tick_ms);
    timing.timeout = std::chrono::seconds(options.timeout_s);
    return loop.Run(timing, started);
}

int RunVirtual(const torvex::cli::Options& options) {
    const auto preset = torvex::sim::ParsePresetName(*options.virtual_state);
    if (!preset) {
        PrintError("unknown virtual state '" + *options.virtual_state + "'");
        return kBadUsage;
    }
    torvex::sim::VirtualPlatform platform;
    auto& product = platform.AddProduct(torvex::sim::PresetConfig(*preset));
    // Like a real product, it is back a few ticks after it left, whatever the tick.
    product.Timing().return_delay_ms =
        static_cast<std::uint32_t>(std::min(2000, kVirtualReturnTicks * options.tick_ms));
    torvex::sim::VirtualProductEvents events(platform);
    return Run(platform, &events, options);
}

}  // namespace

int main(int argc, char** argv) {
    UseBinaryUtf8Output();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const torvex::cli::ParseResult parsed = torvex::cli::ParseOptions(args);
    if (!parsed.options) {
        PrintError(parsed.error + " (see --help)");
        return kBadUsage;
    }
    const torvex::cli::Options& options = *parsed.options;
    if (options.help) {
        const std::string help = torvex::cli::HelpText(VirtualStateNames());
        std::fwrite(help.data(), 1, help.size(), stdout);
        return 0;
    }
    if (options.virtual_state) return RunVirtual(options);

    WarnWithoutAdministratorRights();
    torvex::windows::WindowsDevicePlatform platform;
    return Run(platform, nullptr, options);
}
