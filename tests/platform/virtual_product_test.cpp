// The virtual product answering behind the fake node: the tool's own discovery and commands go
// through the real Linux back end (libudev listing, proven open, SG_IO), and the product's
// departures and returns reach the tool as udev events.
#include <gtest/gtest.h>
#include <poll.h>

#include "app/controller_state_update.h"
#include "app/tool_parts.h"
#include "device/linux/device_monitor.h"
#include "device/linux/linux_device_platform.h"
#include "device/product_connection.h"
#include "device/usb_found.h"
#include "firmware/identity_queries.h"
#include "simulator/product_presets.h"
#include "tests/platform/virtual_product_node.h"
#include "tests/support/recording_window.h"

namespace torvex::testing {
namespace {

using linux_backend::DeviceMonitor;
using linux_backend::LinuxDevicePlatform;

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

std::string NameOf(const FirmwareInfoBlock& block) {
    const auto name = block.Name();
    return std::string(name.begin(), std::find(name.begin(), name.end(), std::uint8_t{0}));
}

struct VirtualProductTest : ::testing::Test {
    MockSystem system;
    sim::VirtualPlatform world;
    sim::VirtualProduct& product =
        world.AddProduct(sim::PresetConfig(sim::ProductPreset::ApplicationOld));
    DeviceMonitor monitor;
    VirtualProductNode node{system, world};

    LinuxDevicePlatform platform{[] { return true; }};
    RecordingWindow window;
    ToolParts parts{window, platform};
    ControllerState& state = parts.state;
    ToolContext& context = parts.context;
    ProductConnection product_link{parts.transport, parts.shared_buffer};
};

TEST_F(VirtualProductTest, DiscoveryAndIdentityReadThroughTheRealBackEnd) {
    EXPECT_EQ(WaitForEvents(monitor, 1), std::vector<std::uint32_t>{kDeviceArrival});
    EXPECT_EQ(USBFound(context), kRunModeAppOrOta);
    // The identity comes from the fake disk's sysfs parents, and the proven open succeeds.
    const auto lines = window.Utf8Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ((std::vector<std::string>(lines.begin(), lines.begin() + 3)),
              (std::vector<std::string>{"VID:2175 PID:5001", "SN:2175APP00001",
                                        "Open U-KDISK USB device Passed."}));
    EXPECT_EQ(state.AppCodeRunning, 1u);
    EXPECT_EQ(state.DevicePath, node.Path());

    ASSERT_TRUE(product_link.Open(state.DevicePath));
    const auto firmware = ReadDeviceInformation(product_link, ISP_CMD_GET_FW_INFO);
    product_link.Close();
    ASSERT_TRUE(firmware);
    EXPECT_EQ(NameOf(*firmware), "F_TORVEX_APP_V100100");

    ASSERT_FALSE(world.Trace().empty());
    EXPECT_EQ(world.Trace().back().command, "ISP_CMD_GET_FW_INFO");
    EXPECT_TRUE(world.Trace().back().delivered);
    EXPECT_TRUE(world.Violations().empty());
    EXPECT_EQ(node.Disk()->SeenCount(), 1u);
}

TEST_F(VirtualProductTest, ExecuteSendsTheProductAwayAndUdevSeesItReturnInOtaCode) {
    WaitForEvents(monitor, 1);
    ASSERT_EQ(USBFound(context), kRunModeAppOrOta);
    ASSERT_TRUE(product_link.Open(state.DevicePath));
    SendIspExecute(product_link);
    // Gone at once: a command on the handle still open no longer reaches it.
    EXPECT_FALSE(ReadDeviceInformation(product_link, ISP_CMD_GET_FW_INFO));
    product_link.Close();

    world.AdvanceClock(product.Timing().removal_event_delay_ms);
    EXPECT_EQ(WaitForEvents(monitor, 1), std::vector<std::uint32_t>{kDeviceRemoveComplete});
    EXPECT_EQ(node.Disk(), nullptr);
    world.AdvanceClock(product.Timing().return_delay_ms);
    EXPECT_EQ(WaitForEvents(monitor, 1), std::vector<std::uint32_t>{kDeviceArrival});
    ASSERT_NE(node.Disk(), nullptr);

    window.ClearLog();
    EXPECT_EQ(USBFound(context), kRunModeAppOrOta);
    EXPECT_EQ(state.AppCodeRunning, 0u);
    EXPECT_EQ(window.Utf8Lines().at(4), "Run Code at OTA Code");
    EXPECT_EQ(state.DevicePath, node.Path());  // the same node, now the product in OTA code
    EXPECT_EQ(product.Mode(), sim::ProductMode::Ota);
}

}  // namespace
}  // namespace torvex::testing
