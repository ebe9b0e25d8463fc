// The whole tool on the real Linux back end: the virtual product answers behind a fake udev
// node, the tool hears of its departures and returns only through a udev monitor, and the
// firmware blocks are the ones compiled into the program. The commands travel by SG_IO, as for
// the runner run as root, and through torvex-isp-helper, as for the window and the runner run as
// the user.
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>

#include "app/dialog_core.h"
#include "device/linux/device_monitor.h"
#include "device/linux/helper_carrier.h"
#include "device/linux/linux_device_platform.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/product_presets.h"
#include "simulator/sample_firmware.h"
#include "tests/platform/private_system_bus.h"
#include "tests/platform/virtual_product_node.h"
#include "tests/support/recording_window.h"

namespace torvex::testing {
namespace {

using linux_backend::DeviceMonitor;
using linux_backend::LinuxDevicePlatform;

enum class Carrier { SgIo, Helper };

std::shared_ptr<linux_backend::CommandCarrier> Make(Carrier carrier) {
    if (carrier == Carrier::Helper) return std::make_shared<linux_backend::HelperCarrier>();
    return std::make_shared<linux_backend::SgIoCarrier>([] { return true; });
}

struct EndToEndUpdate : ::testing::TestWithParam<Carrier> {
    EndToEndUpdate()
        : product(world.AddProduct(sim::PresetConfig(sim::ProductPreset::ApplicationOld))) {}

    void SetUp() override {
        if (GetParam() == Carrier::Helper) {
            ASSERT_TRUE(bus.StartHelper());
        }
    }

    // One second of the product's clock, the udev events it caused, the tick, posted clicks.
    void Tick() {
        world.AdvanceClock(1000);
        pollfd watched{monitor.Descriptor(), POLLIN, 0};
        // udev delivers the events of the testbed asynchronously: give them a moment.
        while (poll(&watched, 1, 20) > 0)
            for (std::uint32_t event : monitor.TakeDueEvents(DeviceEventSource::Clock::now()))
                core.OnDeviceChange(event);
        core.OnReplugTimer();
        while (clicks_run < window.posted_clicks) {
            ++clicks_run;
            core.OnUpdateFw();
        }
    }
    bool Logged(const std::string& line) const {
        const auto lines = window.Utf8Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool TickUntil(const std::string& line, int max_ticks) {
        for (int i = 0; i < max_ticks && !Logged(line); ++i) Tick();
        return Logged(line);
    }

    MockSystem system;
    PrivateSystemBus bus;
    sim::VirtualPlatform world;
    sim::VirtualProduct& product;
    DeviceMonitor monitor;
    VirtualProductNode node{system, world};
    LinuxDevicePlatform platform{Make(GetParam())};
    RecordingWindow window;
    DialogCore core{window, platform, CompiledFirmwareBlocks()};
    int clicks_run = 0;
};

TEST_P(EndToEndUpdate, TwoRunUpdateFromApplicationCodeThroughUdev) {
    ASSERT_TRUE(core.OnInitDialog());
    EXPECT_TRUE(Logged("Run Code at Application Code"));
    Tick();
    ASSERT_TRUE(window.update_enabled);
    EXPECT_EQ(window.picture, StatusPicture::Ready);

    core.OnUpdateFw();
    EXPECT_TRUE(Logged("Jump to EFlash"));
    ASSERT_TRUE(TickUntil("Updat FW.... Update complete !!", 20));
    EXPECT_TRUE(Logged("Run Code at OTA Code"));
    EXPECT_TRUE(Logged("Compare_DUT_FW_Name PASS"));
    EXPECT_EQ(window.posted_clicks, 1);
    EXPECT_TRUE(window.message_boxes.empty());
    EXPECT_EQ(window.picture, StatusPicture::Complete);
    EXPECT_EQ(product.Ef64().Identity(), sim::SampleEf64Identity(1));
    EXPECT_EQ(product.Ef32().Identity(), sim::SampleEf32Identity(1));
    EXPECT_TRUE(world.Violations().empty());

    // Back in its new application code, found again through udev, the product is current.
    for (int i = 0; i < 8; ++i) Tick();
    EXPECT_EQ(product.Mode(), sim::ProductMode::Application);
    EXPECT_EQ(core.State().Ef64VersionClass, Ef64Class::Current);
    EXPECT_EQ(core.State().Ef32VersionClass, Ef32Class::Current);
    EXPECT_EQ(window.picture, StatusPicture::Ready);
}

INSTANTIATE_TEST_SUITE_P(Carriers, EndToEndUpdate,
                         ::testing::Values(Carrier::SgIo, Carrier::Helper),
                         [](const ::testing::TestParamInfo<Carrier>& carrier) {
                             return carrier.param == Carrier::SgIo ? "SgIo" : "TorvexIspHelper";
                         });

}  // namespace
}  // namespace torvex::testing
