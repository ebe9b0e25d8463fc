// Device change: the udev monitor turns a disk's arrival and removal into the two event types
// the tool acts on, and nothing else into anything.
#include <gtest/gtest.h>
#include <poll.h>
#include <umockdev.h>

#include <optional>

#include "device/linux/device_monitor.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/scripted_disk.h"

namespace torvex::testing {
namespace {

using linux_backend::DeviceMonitor;

// Events that arrive within a second; stops as soon as `count` were read.
std::vector<std::uint32_t> WaitForEvents(DeviceMonitor& monitor, std::size_t count) {
    std::vector<std::uint32_t> events;
    for (int round = 0; round < 10 && events.size() < count; ++round) {
        pollfd watched{monitor.Descriptor(), POLLIN, 0};
        if (poll(&watched, 1, 100) <= 0) continue;
        for (std::uint32_t event : monitor.TakeDueEvents(DeviceEventSource::Clock::now()))
            events.push_back(event);
    }
    return events;
}

struct DeviceMonitorTest : ::testing::Test {
    MockSystem system;  // before the monitor, which must see the testbed's uevents
    ScriptedDisk backing;
    DeviceMonitor monitor;
};

TEST_F(DeviceMonitorTest, ArrivalAndRemovalOfTheProduct) {
    ASSERT_TRUE(monitor.IsListening());
    ASSERT_GE(monitor.Descriptor(), 0);
    FakeUsbDisk product(system, ProtectIspIdentity(), backing);
    EXPECT_EQ(WaitForEvents(monitor, 1), std::vector<std::uint32_t>{kDeviceArrival});
    product.Unplug();
    EXPECT_EQ(WaitForEvents(monitor, 1), std::vector<std::uint32_t>{kDeviceRemoveComplete});
}

TEST_F(DeviceMonitorTest, OtherActionsAreNoDeviceChange) {
    FakeUsbDisk product(system, ApplicationIdentity(), backing);
    ASSERT_EQ(WaitForEvents(monitor, 1).size(), 1u);
    for (const char* action : {"change", "bind", "offline", "online", "move"}) {
        umockdev_testbed_uevent(system.Testbed(), product.SysPath().c_str(), action);
    }
    product.Unplug();
    // Six events were sent; only the removal counts.
    EXPECT_EQ(WaitForEvents(monitor, 2), std::vector<std::uint32_t>{kDeviceRemoveComplete});
}

TEST_F(DeviceMonitorTest, ReadingWithNothingPendingReturnsAtOnce) {
    EXPECT_TRUE(monitor.TakeDueEvents(DeviceEventSource::Clock::now()).empty());
}

// A runner that keeps to one product's port hears that port's disks only: another product coming
// and going on the same bus is no change of its own.
TEST_F(DeviceMonitorTest, AKeptPortHearsOnlyItsOwnDisks) {
    FakeUsbDiskOptions kept_options;
    kept_options.usb_port = 8;
    FakeUsbDiskOptions other_options;
    other_options.usb_port = 9;
    monitor.KeepOnlyPort("1-8");
    std::optional<FakeUsbDisk> other(std::in_place, system, other_options, backing);
    std::optional<FakeUsbDisk> kept(std::in_place, system, kept_options, backing);
    EXPECT_EQ(WaitForEvents(monitor, 2), std::vector<std::uint32_t>{kDeviceArrival});
    other.reset();
    kept.reset();
    EXPECT_EQ(WaitForEvents(monitor, 2), std::vector<std::uint32_t>{kDeviceRemoveComplete});
}

// Without a udev monitor the disks are looked at every second: a product that leaves and comes
// back is still seen doing so.
TEST(DeviceMonitorPolling, ArrivalsAndRemovalsAreSeenByLookingEverySecond) {
    MockSystem system;
    ScriptedDisk backing;
    DeviceMonitor polling(DeviceMonitor::Watch::Polling);
    EXPECT_FALSE(polling.IsListening());
    EXPECT_EQ(polling.Descriptor(), -1);
    const auto first_look = polling.NextDue();
    EXPECT_LE(first_look, DeviceEventSource::Clock::now() + DeviceMonitor::kPollingPeriod);

    FakeUsbDisk product(system, ProtectIspIdentity(), backing);
    EXPECT_TRUE(polling.TakeDueEvents(first_look - std::chrono::milliseconds(1)).empty());
    EXPECT_EQ(polling.TakeDueEvents(first_look), std::vector<std::uint32_t>{kDeviceArrival});
    product.Unplug();
    const auto second_look = polling.NextDue();
    EXPECT_EQ(second_look, first_look + DeviceMonitor::kPollingPeriod);
    EXPECT_EQ(polling.TakeDueEvents(second_look),
              std::vector<std::uint32_t>{kDeviceRemoveComplete});
}

TEST_F(DeviceMonitorTest, EveryDiskCountsAndOnlyDisks) {
    FakeUsbDisk first(system, ProtectIspIdentity(), backing);
    system.AddPlainDisk();
    // The usb device, interface and scsi device of the fake product raise their own "add"s;
    // only the two block disks come through.
    EXPECT_EQ(WaitForEvents(monitor, 3),
              (std::vector<std::uint32_t>{kDeviceArrival, kDeviceArrival}));
}

// The product's CD-ROM LUN (sr0 beside its disk) comes and goes with the product: only the disk's
// arrival and removal count, by the udev monitor and by looking every second alike.
TEST_F(DeviceMonitorTest, TheProductsCdRomLunIsNoDeviceChange) {
    DeviceMonitor polling(DeviceMonitor::Watch::Polling);
    FakeUsbDiskOptions cdrom_options;
    cdrom_options.identity = ApplicationIdentity();
    cdrom_options.scsi_type = "5";
    cdrom_options.scsi_driver = "sr";
    cdrom_options.name = FakeDiskName{"sr0", "/dev/sr0", 11, 0};
    std::optional<FakeUsbDisk> disk(std::in_place, system, ApplicationIdentity(), backing);
    std::optional<FakeUsbDisk> cdrom(std::in_place, system, cdrom_options, backing);
    EXPECT_EQ(WaitForEvents(monitor, 2), std::vector<std::uint32_t>{kDeviceArrival});
    EXPECT_EQ(polling.TakeDueEvents(polling.NextDue()), std::vector<std::uint32_t>{kDeviceArrival});
    cdrom.reset();
    disk.reset();
    EXPECT_EQ(WaitForEvents(monitor, 2), std::vector<std::uint32_t>{kDeviceRemoveComplete});
    EXPECT_EQ(polling.TakeDueEvents(polling.NextDue()),
              std::vector<std::uint32_t>{kDeviceRemoveComplete});
}

}  // namespace
}  // namespace torvex::testing
