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

// The monitor, once the run was told when it has none (before the desktop's services are set up).
linux_backend::DeviceMonitor& Told(linux_backend::DeviceMonitor& monitor) {
    if (!monitor.IsListening())
        cli::PrintError("no udev monitor: device changes are looked for every second");
    return monitor;
}

// This machine's devices through the Linux back end, with the desktop's services beside the run.
class LinuxDevices final : public cli::RunSystem {
  public:
    explicit LinuxDevices(const cli::Options& options)
        // SG_IO when run as root, else torvex-isp-helper carries the commands.
        : options_(options), platform_(linux_backend::ChooseCommandCarrier()) {}

    DevicePlatform& Platform() override { return platform_; }
    DeviceEventSource& DeviceChanges() override { return events_; }
    void Wait(cli::Clock::time_point until) override { cli::PollForEvents(events_, until); }
    bool OnRealDevices() const override { return true; }
    void AfterEachEvent() override {
        const std::u16string advice = platform_.TakeRawAccessAdvice();
        if (!advice.empty()) std::fprintf(stderr, "%s\n", ToUtf8(advice).c_str());
        const desktop::RunnerMountStep step =
            desktop::ConsiderForRunner(offer_, platform_.LastOpenMounts(), options_.unmount);
        for (const std::string& line : step.lines) cli::PrintError(line);
        if (step.freed) events_.AnnounceFreed();
    }
    void UpdateWriting() override { awake_.UpdateWriting(); }
    void RunEnded() override { awake_.RunEnded(); }
    void KeepToPort(const std::u16string& port) override { monitor_.KeepOnlyPort(ToUtf8(port)); }

  private:
    const cli::Options& options_;
    linux_backend::LinuxDevicePlatform platform_;
    linux_backend::DeviceMonitor monitor_;
    desktop::FreedProductEvents events_{Told(monitor_)};
    desktop::UDisksDiskService disks_;
    desktop::UnmountOffer offer_{disks_};
    desktop::LogindSleepInhibitor inhibitor_;
    desktop::UpdateSleepGuard awake_{inhibitor_, cli::PrintError};
};

int RunOnDevices(const cli::Options& options) {
    LinuxDevices devices(options);
    return cli::RunTool(devices, CompiledFirmwareBlocks(), options, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    return torvex::cli::RunRunner({argv + 1, argv + argc}, torvex::CompiledFirmwareBlocks(),
                                  {torvex::cli::PollForEvents, RunOnDevices});
}
