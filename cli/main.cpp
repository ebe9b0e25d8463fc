// torvex-isp-cli: the tool without a window, for scripts and factory lines. It finds the product,
// clicks Update F/W once when the tool first allows it, follows the update through every
// re-enumeration and exits with a status that tells how it ended. On Linux: the udev monitor's
// descriptor is polled; the back end's advice on raw SCSI access, the mounts that hold the
// product (unmounted through udisks2 with --unmount) and a missing sleep inhibitor go to stderr;
// logind keeps the system awake while the product is written.
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "cli/poll_wait.h"
#include "cli/runner.h"
#include "desktop/linux/freed_product_events.h"
#include "desktop/linux/logind_sleep_inhibitor.h"
#include "desktop/linux/udisks_disk_service.h"
#include "desktop/linux/unmount_offer.h"
#include "desktop/linux/update_sleep_guard.h"
#include "device/linux/device_monitor.h"
#include "device/linux/linux_device_platform.h"
#include "resources/compiled_firmware_blocks.h"

namespace {

using namespace torvex;

int RunOnDevices(const cli::Options& options) {
    // SG_IO when run as root, else torvex-isp-helper carries the commands.
    linux_backend::LinuxDevicePlatform platform(linux_backend::ChooseCommandCarrier());
    linux_backend::DeviceMonitor monitor;
    if (!monitor.IsListening())
        cli::PrintError("no udev monitor: device changes are looked for every second");
    desktop::FreedProductEvents events(monitor);
    desktop::UDisksDiskService disks;
    desktop::UnmountOffer offer(disks);
    desktop::LogindSleepInhibitor inhibitor;
    desktop::UpdateSleepGuard awake(inhibitor, cli::PrintError);
    const auto after_each_event = [&] {
        const std::u16string advice = platform.TakeRawAccessAdvice();
        if (!advice.empty()) std::fprintf(stderr, "%s\n", ToUtf8(advice).c_str());
        const desktop::RunnerMountStep step =
            desktop::ConsiderForRunner(offer, platform.LastOpenMounts(), options.unmount);
        for (const std::string& line : step.lines) cli::PrintError(line);
        if (step.freed) events.AnnounceFreed();
    };
    const bool refuse = CompiledFirmwareIsSample() && !options.allow_sample_firmware;
    return cli::RunTool(
        {platform, events, CompiledFirmwareBlocks(), cli::PollForEvents, after_each_event, refuse,
         [&awake] { awake.UpdateWriting(); }, [&awake] { awake.RunEnded(); },
         [&monitor](const std::u16string& port) { monitor.KeepOnlyPort(ToUtf8(port)); }},
        options, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    return torvex::cli::RunRunner({argv + 1, argv + argc}, torvex::CompiledFirmwareBlocks(),
                                  {torvex::cli::PollForEvents, RunOnDevices});
}
