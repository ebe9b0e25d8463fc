// The runner on Windows: its wait dispatches the thread's messages, so a device change sent to
// the device-change window reaches the tool while the loop waits for its tick; a start-up that
// stops ends at once instead of waiting out the time-out.
#include <gtest/gtest.h>

#include <windows.h>
// windows.h first: dbt.h relies on its types.
#include <dbt.h>

#include <cstdio>
#include <string>
#include <thread>

#include "cli/message_wait.h"
#include "cli/runner.h"
#include "device/windows/device_change_window.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/output_files.h"
#include "tests/support/scripted_platform.h"

namespace torvex::cli {
namespace {

// A temporary file that removes itself when closed.
std::FILE* TemporaryFile() {
    wchar_t dir[MAX_PATH];
    wchar_t path[MAX_PATH];
    if (GetTempPathW(MAX_PATH, dir) == 0 || GetTempFileNameW(dir, L"tvx", 0, path) == 0)
        return nullptr;
    return _wfopen(path, L"w+bD");
}

struct RunnerLoopTest : ::testing::Test {
    ~RunnerLoopTest() override {
        if (out) std::fclose(out);
        if (err) std::fclose(err);
    }
    void SetUp() override { ASSERT_TRUE(out && err && device_changes.IsListening()); }
    int Run(const WaitForEvents& wait) {
        PlatformRun run(platform, device_changes, wait);
        return RunTool(run, blocks, options, out, err);
    }

    testing::MemoryFirmwareBlocks blocks = testing::MemoryFirmwareBlocks::Patterned();
    testing::ScriptedPlatform platform;
    windows::DeviceChangeWindow device_changes;
    Options options;
    std::FILE* out = TemporaryFile();
    std::FILE* err = TemporaryFile();
};

TEST_F(RunnerLoopTest, ADeviceChangeSentWhileTheLoopWaitsReachesTheTool) {
    // Without a product no ending comes: the run gives up after a second, before its first tick
    // could poll discovery. The changes come from another thread, as the system's broadcasts do:
    // each is delivered only while the loop's wait dispatches messages.
    options.timeout_s = 1;
    const HWND window = device_changes.Window();
    bool delivered = true;
    std::thread sender([window, &delivered] {
        for (WPARAM event : {DBT_DEVNODES_CHANGED, DBT_DEVICEARRIVAL}) {
            DWORD_PTR answer = 0;
            delivered &= SendMessageTimeoutW(window, WM_DEVICECHANGE, event, 0, SMTO_NORMAL, 5000,
                                             &answer) != 0;
        }
    });
    const int status = Run(WaitDispatchingMessages);
    sender.join();
    EXPECT_TRUE(delivered);
    EXPECT_EQ(status, kExitNoEnding);
    EXPECT_EQ(testing::ReadAll(out), "USB device not found!\nUSB device not found!\n");
    EXPECT_EQ(testing::ReadAll(err), "");
}

TEST_F(RunnerLoopTest, AStartUpWithoutEveryFirmwareBlockEndsAtOnce) {
    blocks.blocks.erase(134);
    options.timeout_s = 3600;
    int waits = 0;
    EXPECT_EQ(Run([&](const DeviceEventSource& events, Clock::time_point until) {
                  ++waits;
                  WaitDispatchingMessages(events, until);
              }),
              kExitNoEnding);
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(testing::ReadAll(err), "findresource\n");
}

}  // namespace
}  // namespace torvex::cli
