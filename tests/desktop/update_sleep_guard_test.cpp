// The system stays awake from the moment an update starts writing until its run ends, with a
// double of logind whose locks are pipes: a lock is released when its write end is closed.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "desktop/linux/update_sleep_guard.h"

namespace torvex::desktop {
namespace {

struct PipeInhibitor : SleepInhibitor {
    bool present = true;
    std::vector<std::string> reasons;
    std::vector<int> read_ends;  // one per lock given

    ~PipeInhibitor() override {
        for (int fd : read_ends) close(fd);
    }
    Inhibition Inhibit(const std::string& why) override {
        reasons.push_back(why);
        if (!present)
            return {InhibitorLock(),
                    "The name org.freedesktop.login1 was not provided by any .service files"};
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return {InhibitorLock(), "no pipe"};
        read_ends.push_back(ends[0]);
        return {InhibitorLock(ends[1]), {}};
    }
    // The lock's holder closed its end: what logind sees when a lock is released.
    bool Released(std::size_t lock) const {
        pollfd watched{read_ends.at(lock), POLLIN, 0};
        return poll(&watched, 1, 0) == 1 && (watched.revents & POLLHUP) != 0;
    }
};

TEST(UpdateSleepGuard, OneLockFromTheFirstWriteToTheEndingOfEachRun) {
    PipeInhibitor logind;
    std::vector<std::string> said;
    UpdateSleepGuard guard(logind, [&](const std::string& text) { said.push_back(text); });

    guard.UpdateWriting();  // erase of EF64
    guard.UpdateWriting();  // the second run of a two-run update
    ASSERT_EQ(logind.read_ends.size(), 1u);
    EXPECT_TRUE(guard.Holding());
    EXPECT_FALSE(logind.Released(0));
    EXPECT_EQ(logind.reasons.front(), kUpdateInhibitReason);

    guard.RunEnded();
    EXPECT_FALSE(guard.Holding());
    EXPECT_TRUE(logind.Released(0));
    guard.RunEnded();  // an ending without writing (already updated) changes nothing

    guard.UpdateWriting();  // the next product
    ASSERT_EQ(logind.read_ends.size(), 2u);
    EXPECT_FALSE(logind.Released(1));
    EXPECT_TRUE(said.empty());
}

TEST(UpdateSleepGuard, WithoutLogindItSaysSoOnceAndTheUpdateGoesOn) {
    PipeInhibitor logind;
    logind.present = false;
    std::vector<std::string> said;
    UpdateSleepGuard guard(logind, [&](const std::string& text) { said.push_back(text); });

    guard.UpdateWriting();
    guard.UpdateWriting();  // not asked again in the same run
    guard.RunEnded();
    guard.UpdateWriting();  // asked again in the next run, but not said again
    EXPECT_EQ(logind.reasons.size(), 2u);
    EXPECT_FALSE(guard.Holding());
    EXPECT_EQ(said, std::vector<std::string>{
                        "the system may sleep while the product is written: no sleep inhibitor "
                        "from logind (The name org.freedesktop.login1 was not provided by any "
                        ".service files)"});
}

}  // namespace
}  // namespace torvex::desktop
