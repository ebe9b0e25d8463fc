// The per-product lock against another local user: a FIFO or a held file planted where the lock
// would be, in a directory every user may write (/run/lock's kind) and in the tool's own. The tool
// neither hangs nor shows the other user's text, and two instances still keep off one product.
// Run as root, as CI does: setpriv plays the other user (nobody).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "device/linux/product_lock.h"
#include "tests/platform/eventually.h"

extern char** environ;

namespace torvex::testing {
namespace {

using linux_backend::ProductLocks;

constexpr uid_t kOtherUser = 65534;
constexpr const char* kPort = "3-1.2";

// Runs `command` through sh as the other user; its pid, or -1.
pid_t AsOtherUser(const std::string& command) {
    std::vector<std::string> words = {"/usr/bin/setpriv",
                                      "--reuid=65534",
                                      "--regid=65534",
                                      "--clear-groups",
                                      "/bin/sh",
                                      "-c",
                                      command};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    // A process group of its own, so that the test can end the holder with every child it made
    // (flock's command would outlive flock and keep the test's output open).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    return spawned == 0 ? pid : -1;
}

bool Exited(pid_t pid) {
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Someone holds the file's flock (a try of our own fails).
bool Held(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

struct ProductLockTest : ::testing::Test {
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    }
    void TearDown() override {
        for (pid_t pid : holders) {
            if (pid <= 0) continue;
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        for (const std::string& directory : directories) std::filesystem::remove_all(directory);
    }
    std::string Directory(mode_t mode) {
        std::string directory = "/tmp/torvex-lock-test-XXXXXX";
        if (mkdtemp(directory.data()) == nullptr) return {};
        directories.push_back(directory);
        return chmod(directory.c_str(), mode) == 0 ? directory : std::string();
    }
    std::vector<pid_t> holders;
    std::vector<std::string> directories;
};

TEST_F(ProductLockTest, NoOtherUsersFifoOrHeldFileIsTakenAsTheLock) {
    struct Case {
        const char* what;
        mode_t directory_mode;  // 1777: every user may write, as /run/lock
        bool fifo;
        const char* said;
    };
    const Case cases[] = {
        {"a FIFO in a directory every user may write", 01777, true, "is not safe"},
        {"a held file in a directory every user may write", 01777, false, "is not safe"},
        {"a FIFO of another user in the tool's directory", 0755, true, "not a regular file"},
        {"a held file of another user in the tool's directory", 0755, false, "not a regular file"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        const std::string directory = Directory(each.directory_mode);
        ASSERT_FALSE(directory.empty());
        ProductLocks locks(directory);
        const std::string path = locks.PathFor(kPort);
        if (each.directory_mode == 0755) {
            // Only root can make a file here: what another user holds, root once gave them.
            ASSERT_TRUE(each.fifo ? mkfifo(path.c_str(), 0644) == 0
                                  : close(open(path.c_str(), O_CREAT | O_WRONLY, 0644)) == 0);
            ASSERT_EQ(chown(path.c_str(), kOtherUser, kOtherUser), 0);
        } else if (each.fifo) {
            ASSERT_TRUE(Exited(AsOtherUser("mkfifo -m 0644 '" + path + "'")));
        }
        if (!each.fifo) {
            holders.push_back(AsOtherUser("printf 'planted text\\n' > '" + path +
                                          "' && exec flock '" + path + "' sleep 600"));
            ASSERT_TRUE(Eventually([&] { return Held(path); }));
        }
        const std::string refusal = locks.Acquire(kPort);
        EXPECT_NE(refusal.find(each.said), std::string::npos) << refusal;
        EXPECT_EQ(refusal.find("planted"), std::string::npos) << refusal;
    }
}

TEST_F(ProductLockTest, TwoInstancesStayOffOneProduct) {
    const std::string directory = Directory(0755);
    ASSERT_FALSE(directory.empty());
    ProductLocks first(directory, "torvex-isp-cli (pid 1)");
    ASSERT_EQ(first.Acquire(kPort), "");
    EXPECT_EQ(first.Acquire(kPort), "");  // already its own
    ProductLocks second(directory);
    EXPECT_EQ(second.Acquire(kPort), "the product is in use by torvex-isp-cli (pid 1)");
    first.Release(kPort);
    EXPECT_EQ(second.Acquire(kPort), "");

    // In a directory of the helper's user, root gives the files it makes to that user, and takes
    // that user's files as the tool's own.
    ASSERT_EQ(chown(directory.c_str(), kOtherUser, kOtherUser), 0);
    const std::string other_port = "3-1.3";
    ASSERT_EQ(first.Acquire(other_port), "");
    struct stat made {};
    ASSERT_EQ(stat(first.PathFor(other_port).c_str(), &made), 0);
    EXPECT_EQ(made.st_uid, kOtherUser);
    EXPECT_EQ(second.Acquire(other_port), "the product is in use by torvex-isp-cli (pid 1)");
}

}  // namespace
}  // namespace torvex::testing
