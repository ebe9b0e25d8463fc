// The Windows runner's loop: device-change broadcasts reach its hidden top-level window, posted
// WM_COMMAND 1005 clicks run the controller in queue order, an ending stops the loop, and the
// time-out ends a run that reaches none.
#include <gtest/gtest.h>

#include <windows.h>
// windows.h first: dbt.h relies on its types.
#include <dbt.h>

#include <cstdio>
#include <string>

#include "app/dialog_core.h"
#include "app/user_messages.h"
#include "cli/headless_window.h"
#include "cli/windows_message_loop.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/scripted_platform.h"

namespace torvex::cli {
namespace {

using namespace std::chrono_literals;

// A temporary file that removes itself when closed.
std::FILE* TemporaryFile() {
    wchar_t dir[MAX_PATH];
    wchar_t path[MAX_PATH];
    if (GetTempPathW(MAX_PATH, dir) == 0 || GetTempFileNameW(dir, L"tvx", 0, path) == 0)
        return nullptr;
    return _wfopen(path, L"w+bD");
}

std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
}

int Occurrences(const std::string& text, const std::string& line) {
    int count = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++count;
    return count;
}

struct MessageLoopTest : ::testing::Test {
    MessageLoopTest()
        : out(TemporaryFile()),
          err(TemporaryFile()),
          window(out, err),
          core(window, platform, blocks),
          loop(core, window) {}
    ~MessageLoopTest() override {
        if (out) std::fclose(out);
        if (err) std::fclose(err);
    }
    void SetUp() override {
        ASSERT_TRUE(out && err);
        ASSERT_TRUE(loop.Create());
        ASSERT_TRUE(core.OnInitDialog());
    }
    int NotFoundLines() { return Occurrences(Contents(out), "USB device not found!\n"); }

    testing::MemoryFirmwareBlocks blocks = testing::MemoryFirmwareBlocks::Patterned();
    testing::ScriptedPlatform platform;
    std::FILE* out;
    std::FILE* err;
    HeadlessWindow window;
    DialogCore core;
    WindowsMessageLoop loop;
};

TEST_F(MessageLoopTest, BroadcastArrivalAndRemovalRunDiscoveryOtherEventsDoNot) {
    ASSERT_EQ(NotFoundLines(), 1);  // start-up
    // The window is top-level and hidden, so the system's broadcasts reach it.
    EXPECT_FALSE(IsWindowVisible(loop.Window()));
    EXPECT_EQ(GetAncestor(loop.Window(), GA_PARENT), GetDesktopWindow());

    struct Case {
        WPARAM event;
        int lines_after;
    };
    for (const Case& c :
         {Case{DBT_DEVICEARRIVAL, 2}, Case{DBT_DEVNODES_CHANGED, 2}, Case{DBT_DEVICEQUERYREMOVE, 2},
          Case{DBT_DEVICEREMOVEPENDING, 2}, Case{DBT_DEVICEREMOVECOMPLETE, 3}}) {
        DWORD_PTR answer = 0;
        ASSERT_NE(SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, c.event, 0, SMTO_ABORTIFHUNG,
                                      2000, &answer),
                  0);
        EXPECT_EQ(NotFoundLines(), c.lines_after) << "event 0x" << std::hex << c.event;
    }
}

TEST_F(MessageLoopTest, PostedClickRunsTheControllerAndItsEndingStopsTheLoop) {
    platform.open_fails = true;
    PostMessageW(loop.Window(), WM_COMMAND, 1004, 0);  // another control: nothing happens
    PostMessageW(loop.Window(), WM_COMMAND, kUpdateButtonId, 0);
    PostMessageW(loop.Window(), WM_COMMAND, kUpdateButtonId, 0);  // queued behind the ending
    const ULONGLONG start = GetTickCount64();
    LoopTiming timing;
    timing.timeout = 20s;
    EXPECT_EQ(loop.Run(timing, true), 1);
    EXPECT_LT(GetTickCount64() - start, 5000u);

    const std::string log = Contents(out);
    EXPECT_EQ(Occurrences(log, "Button2...\n"), 1) << log;
    EXPECT_NE(log.find("Open USB device failed.\nUpdat FW.... FAIL !!\n\n"), std::string::npos);
    EXPECT_EQ(Contents(err),
              "Please disconnect and reconnect the device to your PC, \r\ntry the update again.\n");
}

TEST_F(MessageLoopTest, FirstEnablingOfUpdateIsClickedThroughTheQueue) {
    platform.open_fails = true;
    window.EnableUpdateButton(true);
    LoopTiming timing;
    timing.timeout = 20s;
    EXPECT_EQ(loop.Run(timing, true), 1);
    EXPECT_EQ(Occurrences(Contents(out), "Button2...\n"), 1);
}

TEST_F(MessageLoopTest, WithoutAnEndingTheRunGivesUpAtTheTimeOutWhileTheTimerPolls) {
    LoopTiming timing;
    timing.tick = 20ms;
    timing.timeout = 1s;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(loop.Run(timing, true), 3);
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 950u);
    EXPECT_LT(elapsed, 5000u);
    // Discovery is polled every eleventh tick while no product is found.
    EXPECT_GE(NotFoundLines(), 3);
}

// A source with its own schedule, like the virtual product: one arrival, due 100 ms after start.
class OneArrival final : public DeviceEventSource {
  public:
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) override {
        if (taken || now < due) return {};
        taken = true;
        return {DBT_DEVICEARRIVAL};
    }
    Clock::time_point NextDue() const override { return taken ? Clock::time_point::max() : due; }
    Clock::time_point due = Clock::now() + 100ms;
    bool taken = false;
};

TEST(MessageLoopSchedule, ScheduledChangesComeWhenDueAndTheSystemsAreNotWatched) {
    testing::MemoryFirmwareBlocks blocks = testing::MemoryFirmwareBlocks::Patterned();
    testing::ScriptedPlatform platform;
    std::FILE* out = TemporaryFile();
    std::FILE* err = TemporaryFile();
    ASSERT_TRUE(out && err);
    {
        HeadlessWindow window(out, err);
        DialogCore core(window, platform, blocks);
        OneArrival schedule;
        WindowsMessageLoop loop(core, window, &schedule);
        ASSERT_TRUE(loop.Create());
        ASSERT_TRUE(core.OnInitDialog());
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0, SMTO_ABORTIFHUNG,
                            2000, &answer);
        EXPECT_EQ(Occurrences(Contents(out), "USB device not found!\n"), 1);

        LoopTiming timing;
        timing.timeout = 1s;  // no tick comes before the end: only the arrival runs discovery
        EXPECT_EQ(loop.Run(timing, true), 3);
        EXPECT_TRUE(schedule.taken);
        EXPECT_EQ(Occurrences(Contents(out), "USB device not found!\n"), 2);
    }
    std::fclose(out);
    std::fclose(err);
}

TEST_F(MessageLoopTest, WithoutTheTimerNothingIsPolled) {
    LoopTiming timing;
    timing.tick = 20ms;
    timing.timeout = 1s;
    EXPECT_EQ(loop.Run(timing, false), 3);
    EXPECT_EQ(NotFoundLines(), 1);
}

}  // namespace
}  // namespace torvex::cli
