// torvex-isp-cli on Windows: the tool without a window, on the PC's real disks. Status-log lines
// go to stdout and message-box texts to stderr, both UTF-8 with "\n" line ends; the exit status
// tells how the run ended.

#include <windows.h>
// windows.h first: shlobj.h relies on its types.
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/dialog_core.h"
#include "cli/headless_window.h"
#include "cli/options.h"
#include "cli/windows_message_loop.h"
#include "device/windows/windows_device_platform.h"
#include "resources/compiled_firmware_blocks.h"

namespace {

constexpr int kBadUsage = 64;
constexpr int kCannotRun = 1;

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

int Run(const torvex::cli::Options& options) {
    torvex::windows::WindowsDevicePlatform platform;
    torvex::cli::HeadlessWindow window(stdout, stderr);
    torvex::DialogCore core(window, platform, torvex::CompiledFirmwareBlocks());
    torvex::cli::WindowsMessageLoop loop(core, window);
    if (!loop.Create()) {
        PrintError("cannot create the window that receives device changes (error " +
                   std::to_string(GetLastError()) + ")");
        return kCannotRun;
    }
    WarnWithoutAdministratorRights();
    const bool started = core.OnInitDialog();
    torvex::cli::LoopTiming timing;
    timing.tick = std::chrono::milliseconds(options.tick_ms);
    timing.timeout = std::chrono::seconds(options.timeout_s);
    return loop.Run(timing, started);
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
    if (parsed.options->help) {
        const std::string help = torvex::cli::HelpText({});
        std::fwrite(help.data(), 1, help.size(), stdout);
        return 0;
    }
    if (parsed.options->virtual_state) {
        PrintError("--virtual is not available in this build");
        return kBadUsage;
    }
    return Run(*parsed.options);
}
