// Leaving and coming back: the product is gone at once, the removal and arrival events follow
// on the test's clock after the configured delays, and it returns in the code the command led
// to, under a new path.
#include <gtest/gtest.h>

#include "simulator/product_presets.h"
#include "simulator/virtual_product_events.h"
#include "tests/sim/hand_procedures.h"

namespace torvex::sim {
namespace {

using namespace testing;

struct Timeline {
    VirtualPlatform platform;
    VirtualProduct* product;

    explicit Timeline(ProductPreset preset) {
        ProductConfig config = PresetConfig(preset);
        config.timing = {0, 100, 3000, 250};
        product = &platform.AddProduct(config);
    }
    void Send(const Cdb& cdb) {
        const DeviceHandle handle = OpenDisk(platform, 0);
        Wire(platform, handle).None(cdb, DataDirection::Out);
        platform.Close(handle);
    }
};

const Cdb kJumpEf64Protect = {0xFF, 0x56, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
const Cdb kJumpEf32 = {0xFF, 0x27, 0x01, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

TEST(Reenumeration, EventsFollowAfterTheConfiguredDelays) {
    Timeline t(ProductPreset::ApplicationCurrent);
    const std::u16string old_path = t.platform.PathOf(0);
    t.Send(kJumpEf32);
    EXPECT_FALSE(t.platform.IsPresent(0));
    EXPECT_TRUE(t.platform.ListDiskInterfaces().disks.empty());

    t.platform.AdvanceClock(99);
    EXPECT_TRUE(t.platform.TakeEvents().empty());
    t.platform.AdvanceClock(1);
    auto events = t.platform.TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, kDeviceRemoveComplete);
    EXPECT_EQ(events[0].time_ms, 100u);

    t.platform.AdvanceClock(2899);
    EXPECT_FALSE(t.platform.IsPresent(0));
    t.platform.AdvanceClock(1);
    EXPECT_TRUE(t.platform.IsPresent(0));
    EXPECT_EQ(t.product->Mode(), ProductMode::Ota);
    EXPECT_EQ(t.platform.ListDiskInterfaces().disks.at(0).parent_device_id,
              u"USB\\VID_2175&PID_5001\\00000000EF320001");
    EXPECT_NE(t.platform.PathOf(0), old_path);
    EXPECT_EQ(t.platform.OpenExclusive(old_path), kInvalidDeviceHandle);
    EXPECT_TRUE(t.platform.TakeEvents().empty());  // arrival event still 250 ms away
    t.platform.AdvanceClock(250);
    events = t.platform.TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, kDeviceArrival);
    EXPECT_EQ(events[0].time_ms, 3250u);
}

struct JumpCase {
    const char* what;
    ProductPreset preset;
    Cdb cdb;
    ProductMode back_in;
};

TEST(Reenumeration, ComesBackInTheCodeTheCommandLeadsTo) {
    const std::vector<JumpCase> cases = {
        {"EF32 jump, EF32_0 valid", ProductPreset::ApplicationCurrent, kJumpEf32, ProductMode::Ota},
        {"EF32 jump, EF32_0 erased", ProductPreset::ApplicationEf32Erased, kJumpEf32,
         ProductMode::Application},
        {"execute from application code", ProductPreset::ApplicationOld, kExecute,
         ProductMode::Ota},
        {"execute, EF32_0 erased", ProductPreset::ApplicationEf32Erased, kExecute,
         ProductMode::Application},
        {"EF64 jump from protected ISP, EF64 erased", ProductPreset::ProtectIsp, kJumpEf64Protect,
         ProductMode::ProtectIsp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Timeline t(c.preset);
        const DeviceHandle handle = OpenDisk(t.platform, 0);
        const auto result =
            Wire(t.platform, handle)
                .None(c.cdb, c.cdb.size() == 11 ? DataDirection::In : DataDirection::Out);
        EXPECT_TRUE(result.delivered);
        t.platform.Close(handle);
        EXPECT_FALSE(t.platform.IsPresent(0));
        t.platform.AdvanceClock(3000);
        EXPECT_TRUE(t.platform.IsPresent(0));
        EXPECT_EQ(t.product->Mode(), c.back_in);
    }
}

TEST(Reenumeration, JumpFromOtaRunsTheApplicationWrittenInto64) {
    Timeline t(ProductPreset::Ota);
    const DeviceHandle handle = OpenDisk(t.platform, 0);
    RunSteps(t.platform, handle, Ef64MaskOtaProcedure(MainSlice(162), InfoSlice(138)));
    t.platform.Close(handle);
    t.platform.AdvanceClock(3000);
    EXPECT_EQ(t.product->Mode(), ProductMode::Application);
}

TEST(Reenumeration, LeaveDelayKeepsTheProductUntilItIsDue) {
    Timeline t(ProductPreset::ApplicationCurrent);
    t.product->Timing().leave_delay_ms = 500;
    t.Send(kJumpEf32);
    EXPECT_TRUE(t.platform.IsPresent(0));
    t.platform.AdvanceClock(499);
    EXPECT_TRUE(t.platform.IsPresent(0));
    t.platform.AdvanceClock(1);
    EXPECT_FALSE(t.platform.IsPresent(0));
    t.platform.AdvanceClock(3000);
    EXPECT_EQ(t.product->Mode(), ProductMode::Ota);
}

TEST(Reenumeration, ListenerReceivesEventsInTimeOrderAndMayUseThePlatform) {
    Timeline t(ProductPreset::ApplicationCurrent);
    std::vector<std::uint32_t> seen;
    std::size_t listed_at_arrival = 0;
    t.platform.SetEventListener([&](const DeviceEvent& event) {
        seen.push_back(event.type);
        if (event.type == kDeviceArrival)
            listed_at_arrival = t.platform.ListDiskInterfaces().disks.size();
    });
    t.Send(kJumpEf32);
    t.platform.AdvanceClock(10000);
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{kDeviceRemoveComplete, kDeviceArrival}));
    EXPECT_EQ(listed_at_arrival, 1u);
    EXPECT_TRUE(t.platform.TakeEvents().empty());
}

TEST(Reenumeration, UnplugCancelsAPendingReturn) {
    Timeline t(ProductPreset::ApplicationCurrent);
    t.Send(kJumpEf32);
    t.platform.Unplug(0);
    t.platform.AdvanceClock(10000);
    EXPECT_FALSE(t.platform.IsPresent(0));
    t.platform.Plug(0, ProductMode::Mask0210);
    EXPECT_TRUE(t.platform.IsPresent(0));
    EXPECT_EQ(t.product->Mode(), ProductMode::Mask0210);
    t.platform.AdvanceClock(250);
    const auto events = t.platform.TakeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].type, kDeviceArrival);
}

// An event loop that falls behind (a busy machine) still sees each event with the product as it
// was at that moment: the removal while the product is away, then the arrival once it is back.
TEST(Reenumeration, ALateEventLoopTakesTheEventsOneMomentAtATime) {
    Timeline t(ProductPreset::ApplicationCurrent);
    VirtualProductEvents events(t.platform);
    const auto start = VirtualProductEvents::Clock::now();
    t.Send(kJumpEf32);
    const auto long_after = start + std::chrono::seconds(10);

    EXPECT_EQ(events.TakeDueEvents(long_after), std::vector<std::uint32_t>{kDeviceRemoveComplete});
    EXPECT_FALSE(t.platform.IsPresent(0));
    EXPECT_EQ(events.TakeDueEvents(long_after), std::vector<std::uint32_t>{kDeviceArrival});
    EXPECT_TRUE(t.platform.IsPresent(0));
    EXPECT_TRUE(events.TakeDueEvents(long_after).empty());
    EXPECT_EQ(events.NextDue(), VirtualProductEvents::Clock::time_point::max());
}

}  // namespace
}  // namespace torvex::sim
