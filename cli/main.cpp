// torvex-isp-cli: the tool without a window, for scripts and factory lines. It finds the product,
// clicks Update F/W once when the tool first allows it, follows the update through every
// re-enumeration and exits with a status that tells how it ended. On Linux: the udev monitor's
// descriptor is polled, and the back end's advice on raw SCSI access goes to stderr.
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "cli/poll_wait.h"
#include "cli/runner.h"
#include "device/linux/device_monitor.h"
#include "device/linux/linux_device_platform.h"
#include "resources/compiled_firmware_blocks.h"

namespace {

int RunOnDevices(const torvex::cli::Options& options) {
    // SG_IO when run as root, else torvex-isp-helper carries the commands.
    torvex::linux_backend::LinuxDevicePlatform platform(
        torvex::linux_backend::ChooseCommandCarrier());
    torvex::linux_backend::DeviceMonitor monitor;
    if (!monitor.IsListening())
        torvex::cli::PrintError(
            "device changes cannot be watched (no udev monitor): the product is looked for every "
            "11 ticks");
    const auto advise = [&platform] {
        const std::u16string advice = platform.TakeRawAccessAdvice();
        if (!advice.empty()) std::fprintf(stderr, "%s\n", torvex::ToUtf8(advice).c_str());
    };
    const bool refuse = torvex::CompiledFirmwareIsSample() && !options.allow_sample_firmware;
    return torvex::cli::RunTool({platform, monitor, torvex::CompiledFirmwareBlocks(),
                                 torvex::cli::PollForEvents, advise, refuse},
                                options, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    return torvex::cli::RunRunner({argv + 1, argv + argc}, torvex::CompiledFirmwareBlocks(),
                                  {torvex::cli::PollForEvents, RunOnDevices});
}
