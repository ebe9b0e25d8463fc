// Whole updates of the virtual product through the Windows window: ticks, clicks and device
// changes sent as the system sends them, the product's clock moved on by the test. The window
// must show what the tool's core decides: the same log, picture, bar and button as the core
// shows through a recording window on an identical product.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "app/dialog_core.h"
#include "app/dialog_templates.h"
#include "app/user_messages.h"
#include "app/win32/win32_text.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/sample_firmware.h"
#include "tests/support/recording_window.h"
#include "tests/win32/window_harness.h"

namespace torvex::win32 {
namespace {

using testing::BoxCloser;
using testing::WindowHarness;

struct Step {
    enum Kind { Tick, Click, Advance } kind;
    std::uint64_t ms = 0;
};

// Application code with old firmware: the click writes EF32_0 and sends the product to its OTA
// code; it comes back, the timer clicks again and EF64 is written; the product comes back in
// its new application code.
const Step kTwoRunUpdate[] = {
    {Step::Tick}, {Step::Click}, {Step::Advance, 3000}, {Step::Tick},
    {Step::Tick}, {Step::Tick},  {Step::Advance, 3000}, {Step::Tick},
};

// The same steps on the core alone, with a recording window: the expected outcome.
torvex::testing::RecordingWindow RunOnCore(const Step* steps, std::size_t count) {
    torvex::testing::RecordingWindow window;
    sim::VirtualPlatform platform;
    platform.AddProduct(sim::PresetConfig(sim::ProductPreset::ApplicationOld));
    DialogCore core(window, platform, CompiledFirmwareBlocks());
    core.OnInitDialog();
    int clicks_run = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (steps[i].kind == Step::Tick) core.OnReplugTimer();
        if (steps[i].kind == Step::Click && window.update_enabled) core.OnUpdateFw();
        if (steps[i].kind == Step::Advance) {
            platform.AdvanceClock(steps[i].ms);
            for (const sim::DeviceEvent& event : platform.TakeEvents())
                core.OnDeviceChange(event.type);
        }
        for (; clicks_run < window.posted_clicks; ++clicks_run) core.OnUpdateFw();
    }
    return window;
}

void RunStep(WindowHarness& harness, const Step& step) {
    if (step.kind == Step::Tick) harness.Tick();
    if (step.kind == Step::Click) harness.ClickUpdate();
    if (step.kind == Step::Advance) harness.Advance(step.ms);
}

TEST(Update, ApplicationOldInTwoRunsShowsWhatTheCoreDecides) {
    const auto expected = RunOnCore(kTwoRunUpdate, std::size(kTwoRunUpdate));
    WindowHarness harness(sim::ProductPreset::ApplicationOld);
    EXPECT_FALSE(harness.Enabled(kIdUpdateFw));

    RunStep(harness, kTwoRunUpdate[0]);
    EXPECT_TRUE(harness.Enabled(kIdUpdateFw));
    EXPECT_EQ(harness.dialog->LoadedPicture(), StatusPicture::Ready);
    EXPECT_EQ(harness.Text(kIdStatusPicture), u"Ready");

    // The first run writes EF32_0 (three steps of the bar) and leaves the product restarting:
    // the PC is kept awake until the second run ends.
    RunStep(harness, kTwoRunUpdate[1]);
    EXPECT_EQ(harness.dialog->LoadedPicture(), StatusPicture::Updating);
    EXPECT_EQ(harness.Progress(), 3);
    EXPECT_TRUE(harness.dialog->KeepsSystemAwake());

    for (std::size_t i = 2; i < std::size(kTwoRunUpdate); ++i) RunStep(harness, kTwoRunUpdate[i]);

    EXPECT_EQ(harness.Text(kIdStatusLog), expected.status_log);
    EXPECT_NE(expected.status_log.find(std::u16string(kUpdateCompleteLine) + u"\r\n"),
              std::u16string::npos);
    EXPECT_EQ(harness.dialog->SecondaryLogText(), u"DUT FW Updating...\r\nDUT FW Updating...\r\n");
    EXPECT_EQ(harness.dialog->LoadedPicture(), StatusPicture::Complete);
    EXPECT_EQ(expected.picture, StatusPicture::Complete);
    EXPECT_EQ(harness.Progress(), 0);
    EXPECT_EQ(harness.Enabled(kIdUpdateFw), expected.update_enabled);
    EXPECT_FALSE(harness.dialog->KeepsSystemAwake());

    sim::VirtualProduct& product = harness.platform.Product();
    EXPECT_EQ(product.Ef64().Identity(), sim::SampleEf64Identity(1));
    EXPECT_EQ(product.Ef32().Identity(), sim::SampleEf32Identity(1));
    EXPECT_EQ(product.Mode(), sim::ProductMode::Application);
    EXPECT_TRUE(harness.platform.Violations().empty());
    EXPECT_EQ(harness.platform.OpenHandleCount(), 0u);
}

TEST(Update, ReplugTimeoutBoxOpensInATickAndTicksGoOnInsideIt) {
    WindowHarness harness(sim::ProductPreset::ApplicationOld);
    harness.Tick();
    harness.ClickUpdate();
    // The product never comes back from its restart.
    harness.platform.Unplug(0);
    harness.Advance(10000);

    int hold_before = -1;
    int hold_inside = -1;
    BoxCloser closer(harness.Dialog(), [&](HWND) {
        // A tick while the box is open: the failure picture is held, one tick less.
        hold_before = harness.dialog->Core().State().PictureHold;
        SendMessageW(harness.Dialog(), WM_TIMER, kReplugTimerId, 0);
        hold_inside = harness.dialog->Core().State().PictureHold;
    });
    harness.Tick(38);
    EXPECT_TRUE(closer.Seen().empty());
    harness.Tick();  // the 39th tick of the wait: the time-out

    ASSERT_EQ(closer.Seen().size(), 1u);
    EXPECT_EQ(closer.Seen()[0].caption, ApplicationName());
    const auto& texts = closer.Seen()[0].texts;
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::u16string(kReconnectMessage)),
              texts.end());
    EXPECT_EQ(hold_before, 5);
    EXPECT_EQ(hold_inside, 4);
    EXPECT_NE(harness.Text(kIdStatusLog).find(std::u16string(kReplugTimeoutLine) + u"\r\n"),
              std::u16string::npos);
    EXPECT_EQ(harness.dialog->LoadedPicture(), StatusPicture::Fail);
    EXPECT_EQ(harness.Progress(), 0);
    EXPECT_FALSE(harness.dialog->KeepsSystemAwake());
}

}  // namespace
}  // namespace torvex::win32
