// The one-second tick: polling cadence, mask-code queries, restart countdown, picture hold and
// the replug wait. Device answers come from the scripted platform; whole updates driven by ticks
// are covered against the virtual product in the scenario tests.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/replug_timer.h"
#include "tests/support/core_fixture.h"

namespace torvex {
namespace {

using testing::CoreFixture;
using testing::ScriptedPlatform;

struct TimerTest : ::testing::Test, CoreFixture {
    TimerTest() {
        state.FirmwareAccepted = 1;
        state.MaskPollTicks = 3;
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) OnReplugTimer(context);
    }
    int CountLines(const std::string& line) const {
        const auto lines = window.Utf8Lines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    int ProbesSent() const {
        return static_cast<int>(
            std::count_if(platform.requests.begin(), platform.requests.end(),
                          [](const auto& r) { return r.cdb.size() > 1 && r.cdb[1] == 0x44; }));
    }
    void MaskCodeProductAttached() {
        platform.listing.disks = {{u"USBSTOR\\Disk", u"USB\\VID_0A81&PID_0320\\0001", u"/dev/m"}};
        state.RunMode = kRunModeMaskCode;
        state.DevicePath = u"/dev/m";
    }
};

TEST_F(TimerTest, WithoutProductDiscoveryRunsEveryEleventhTick) {
    Ticks(10);
    EXPECT_EQ(CountLines("USB device not found!"), 0);
    Ticks(1);
    EXPECT_EQ(CountLines("USB device not found!"), 1);
    Ticks(22);
    EXPECT_EQ(CountLines("USB device not found!"), 3);
    EXPECT_FALSE(window.update_enabled);
    EXPECT_EQ(window.picture, StatusPicture::Standby);
}

TEST_F(TimerTest, MaskCodeProductIsFirstQueriedOnTheSecondTickThenEveryTickWhileSilent) {
    MaskCodeProductAttached();
    for (int i = 0; i < 30; ++i) platform.script.push_back(ScriptedPlatform::Failed());
    Ticks(1);
    EXPECT_EQ(platform.requests.size(), 0u);
    Ticks(1);
    EXPECT_EQ(ProbesSent(), 3);  // one query: three attempts
    EXPECT_EQ(CountLines("Command Fail"), 1);
    Ticks(2);
    EXPECT_EQ(CountLines("Command Fail"), 3);
}

TEST_F(TimerTest, AnsweringMaskCodeProductShowsReadyAndIsNoLongerQueried) {
    MaskCodeProductAttached();
    Ticks(2);
    EXPECT_EQ(CountLines("Run Code at Mask Code 0210"), 1);
    EXPECT_EQ(state.DeviceFound, 1u);
    EXPECT_EQ(window.picture, StatusPicture::Ready);
    EXPECT_FALSE(window.update_enabled);  // the query comes after this tick's button step
    Ticks(1);
    EXPECT_TRUE(window.update_enabled);
    Ticks(4);
    EXPECT_EQ(ProbesSent(), 1);
}

TEST_F(TimerTest, ArmedRestartPostsTheClickOnTheSecondTickAfterArming) {
    state.DeviceFound = 1;
    state.DeviceVid = kVendorAppAndOta;
    state.AppCodeRunning = 0;
    state.Ef32VersionClass = Ef32Class::Old;  // the OTA check has run
    state.RestartPending = 1;
    Ticks(1);
    EXPECT_EQ(state.AutoRestart, 2);
    EXPECT_EQ(state.RestartPending, 0);
    EXPECT_FALSE(window.update_enabled);
    Ticks(1);
    EXPECT_EQ(window.posted_clicks, 0);
    Ticks(1);
    EXPECT_EQ(window.posted_clicks, 1);
    EXPECT_EQ(state.AutoRestart, 0);
    Ticks(3);
    EXPECT_EQ(window.posted_clicks, 1);
    EXPECT_TRUE(platform.requests.empty());
}

TEST_F(TimerTest, ProductBackInApplicationCodeCancelsTheRestart) {
    state.DeviceFound = 1;
    state.DeviceVid = kVendorAppAndOta;
    state.AppCodeRunning = 1;
    state.Ef64VersionClass = Ef64Class::Old;  // checks done
    state.RestartPending = 1;
    Ticks(3);
    EXPECT_EQ(state.RestartPending, 0);
    EXPECT_EQ(state.AutoRestart, 0);
    EXPECT_EQ(window.posted_clicks, 0);
}

TEST_F(TimerTest, RejectedFirmwareKeepsUpdateDisabledAndRunsNoCheck) {
    state.DeviceFound = 1;
    state.DeviceVid = kVendorAppAndOta;
    state.AppCodeRunning = 1;
    state.FirmwareAccepted = 0;
    Ticks(3);
    EXPECT_FALSE(window.update_enabled);
    EXPECT_TRUE(platform.requests.empty());
}

TEST_F(TimerTest, ProtectIspProductEnablesUpdateButStaysStandby) {
    state.DeviceFound = 1;
    state.RunMode = kRunModeProtectIsp;
    state.DeviceVid = kVendorBootAndIsp;
    Ticks(1);
    EXPECT_TRUE(window.update_enabled);
    EXPECT_EQ(window.picture, StatusPicture::Standby);
}

TEST_F(TimerTest, ReplugWaitTimesOutOnTheThirtyNinthTick) {
    state.ReplugTicks = 1;
    window.progress = 6;
    Ticks(38);
    EXPECT_EQ(state.ReplugTicks, 39);
    EXPECT_EQ(window.picture, StatusPicture::Updating);
    EXPECT_TRUE(window.message_boxes.empty());
    Ticks(1);
    EXPECT_EQ(CountLines("Updat FW.... FAIL !!(Replug Timeout)"), 1);
    EXPECT_EQ(state.ReplugTicks, 0);
    EXPECT_EQ(state.PictureHold, 5);
    EXPECT_EQ(window.progress, 0);
    EXPECT_EQ(window.picture, StatusPicture::Fail);
    EXPECT_EQ(window.message_boxes,
              std::vector<std::u16string>{
                  u"Please disconnect and reconnect the device to your PC, \r\ntry the update "
                  u"again."});
}

TEST_F(TimerTest, HeldPictureSurvivesTicksInsideTheTimeoutBox) {
    state.ReplugTicks = 39;
    int nested = 0;
    window.on_message_box = [&](std::u16string_view) {
        for (; nested < 3; ++nested) OnReplugTimer(context);
    };
    Ticks(1);
    // Three ticks ran inside the box; the picture stays FAIL for the rest of the hold.
    EXPECT_EQ(state.PictureHold, 2);
    EXPECT_EQ(window.picture, StatusPicture::Fail);
    Ticks(2);
    EXPECT_EQ(window.picture, StatusPicture::Fail);
    Ticks(1);
    EXPECT_EQ(window.picture, StatusPicture::Standby);
    EXPECT_EQ(window.message_boxes.size(), 1u);
}

TEST_F(TimerTest, PictureHoldFreezesPictureAndReplugCountButNotPolling) {
    state.PictureHold = 20;
    state.ReplugTicks = 5;
    window.picture = StatusPicture::Fail;
    Ticks(11);
    EXPECT_EQ(state.PictureHold, 9);
    EXPECT_EQ(state.ReplugTicks, 5);
    EXPECT_EQ(window.picture, StatusPicture::Fail);
    EXPECT_EQ(CountLines("USB device not found!"), 1);
}

}  // namespace
}  // namespace torvex
