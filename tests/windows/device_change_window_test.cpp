// The device-change window: hidden, top-level (so the system's volume broadcasts reach it),
// registered for disk interfaces, and queuing each arrival and complete removal sent to it until
// the event loop takes them. Messages go to this window only, never to every window.
#include <gtest/gtest.h>

#include <windows.h>
// windows.h first: dbt.h relies on its types.
#include <dbt.h>

#include "device/device_platform.h"
#include "device/windows/device_change_window.h"

namespace torvex::windows {
namespace {

using Clock = DeviceEventSource::Clock;

TEST(DeviceChangeWindow, QueuesArrivalsAndRemovalsSentToItUntilTheyAreTaken) {
    DeviceChangeWindow source;
    ASSERT_TRUE(source.IsListening()) << source.Error();
    EXPECT_TRUE(source.SeesDisksWithoutVolume());
    EXPECT_FALSE(IsWindowVisible(source.Window()));
    EXPECT_EQ(GetAncestor(source.Window(), GA_PARENT), GetDesktopWindow());
    EXPECT_EQ(source.Descriptor(), -1);
    EXPECT_EQ(source.NextDue(), Clock::time_point::max());

    for (WPARAM event : {DBT_DEVICEARRIVAL, DBT_DEVNODES_CHANGED, DBT_DEVICEQUERYREMOVE,
                         DBT_DEVICEREMOVEPENDING, DBT_DEVICEREMOVECOMPLETE, DBT_DEVICEARRIVAL}) {
        EXPECT_EQ(SendMessageW(source.Window(), WM_DEVICECHANGE, event, 0), TRUE)
            << "event 0x" << std::hex << event;
    }
    const Clock::time_point due = source.NextDue();
    EXPECT_LE(due, Clock::now());
    EXPECT_EQ(source.TakeDueEvents(Clock::now()),
              (std::vector<std::uint32_t>{kDeviceArrival, kDeviceRemoveComplete, kDeviceArrival}));
    EXPECT_EQ(source.NextDue(), Clock::time_point::max());
    EXPECT_TRUE(source.TakeDueEvents(Clock::now()).empty());
}

}  // namespace
}  // namespace torvex::windows
