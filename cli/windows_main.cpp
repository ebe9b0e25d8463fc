// torvex-isp-cli on Windows: the tool without a window, on the PC's real disks or a virtual
// product. Status-log lines go to stdout and message-box texts to stderr, both UTF-8 with "\n"
// line ends; the exit status tells how the run ended. Device changes reach a hidden window whose
// messages the runner dispatches while it waits.

#include <windows.h>
// windows.h first: shlobj.h relies on its types.
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/message_wait.h"
#include "cli/runner.h"
#include "device/windows/device_change_window.h"
#include "device/windows/windows_device_platform.h"
#include "resources/compiled_firmware_blocks.h"

namespace {

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

// The PC's disks through the Windows back end; device changes reach a hidden window whose
// messages the wait dispatches.
class WindowsDevices final : public torvex::cli::RunSystem {
  public:
    torvex::DevicePlatform& Platform() override { return platform_; }
    torvex::DeviceEventSource& DeviceChanges() override { return device_changes_; }
    void Wait(torvex::cli::Clock::time_point until) override {
        torvex::cli::WaitDispatchingMessages(device_changes_, until);
    }
    bool OnRealDevices() const override { return true; }
    const torvex::windows::DeviceChangeWindow& ChangeWindow() const { return device_changes_; }

  private:
    torvex::windows::WindowsDevicePlatform platform_;
    torvex::windows::DeviceChangeWindow device_changes_;
};

int RunOnDevices(const torvex::cli::Options& options) {
    // Pass-through to a disk needs administrator rights; without them every open of the product
    // fails, so the runner says why once, before it starts.
    if (!IsUserAnAdmin())
        torvex::cli::PrintError(
            "not running with administrator rights: the product cannot be opened");
    WindowsDevices devices;
    if (!devices.ChangeWindow().IsListening()) {
        torvex::cli::PrintError("cannot create the window that receives device changes (error " +
                                std::to_string(devices.ChangeWindow().Error()) + ")");
        return kCannotRun;
    }
    return torvex::cli::RunTool(devices, torvex::CompiledFirmwareBlocks(), options, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    UseBinaryUtf8Output();
    return torvex::cli::RunRunner({argv + 1, argv + argc}, torvex::CompiledFirmwareBlocks(),
                                  {torvex::cli::WaitDispatchingMessages, RunOnDevices});
}
