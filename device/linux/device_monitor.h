#pragma once
// Device change on Linux, as a device-event source: a udev monitor on block disks, whose
// descriptor the window and the headless runner watch in their event loop (QSocketNotifier,
// poll). Where no udev monitor can be set up (no udev daemon, a container), the source looks at
// the block disks every second instead and reports the ones that came and went: a product that
// re-enumerates is then still seen leaving and coming back, so its classes are checked again.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "device/device_event_source.h"
#include "device/linux/udev_handles.h"

namespace torvex::linux_backend {

class DeviceMonitor final : public DeviceEventSource {
  public:
    enum class Watch { Udev, Polling };

    // Listens to the events udev has finished processing ("udev" source), for block disks only;
    // falls back to polling when that cannot be set up. Polling: tests, and systems without udev.
    explicit DeviceMonitor(Watch watch = Watch::Udev);

    // False when device changes come from polling, not from a udev monitor.
    bool IsListening() const { return monitor_ != nullptr; }

    // Readable when events are waiting (udev monitor only). Non-blocking.
    int Descriptor() const override;

    // Takes every pending event without blocking: an arrival gives kDeviceArrival, a removal
    // kDeviceRemoveComplete; other actions ("change", "bind", ...) are not device changes.
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) override;

    // Polling: the next look at the disks; the udev monitor has no schedule of its own.
    Clock::time_point NextDue() const override;

    // From now on only the disks behind this USB port ("2-1.4") count. A runner that keeps to
    // one product must not take another product's arrival for a change of its own: it would look
    // for its product again while that product is still leaving after a jump, find it in the
    // code it is leaving, and give up the update it was about to resume.
    void KeepOnlyPort(const std::string& port_path);

    static constexpr std::chrono::seconds kPollingPeriod{1};

  private:
    std::vector<std::uint32_t> ReadMonitor();
    std::vector<std::uint32_t> Poll(Clock::time_point now);
    std::set<std::string> PresentDisks() const;
    bool Kept(const char* devpath) const;

    UdevPtr udev_;
    UdevMonitorPtr monitor_;
    std::set<std::string> present_;  // polling: the disks seen at the last look
    Clock::time_point next_poll_{};
    std::string port_segment_;  // "/2-1.4/": the paths of the kept port's devices hold it
};

}  // namespace torvex::linux_backend
