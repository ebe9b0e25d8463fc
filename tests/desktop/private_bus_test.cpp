// The real udisks2 and logind clients on a bus of the test's own (a dbus-daemon it starts), with
// stand-ins of the two services that answer as the real ones do and record what they were asked.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "desktop/linux/logind_sleep_inhibitor.h"
#include "desktop/linux/system_bus.h"
#include "desktop/linux/udisks_disk_service.h"

extern char** environ;

namespace torvex::desktop {
namespace {

// A dbus-daemon of the test's own; empty address when it could not be started.
class PrivateBus {
  public:
    PrivateBus() {
        char pattern[] = "/tmp/torvex-bus-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        dir_ = pattern;
        std::ofstream(dir_ + "/bus.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\""
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:path="
            << dir_
            << "/bus</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
               "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n";
        const std::string config = "--config-file=" + dir_ + "/bus.conf";
        char* argv[] = {const_cast<char*>(TORVEX_DBUS_DAEMON), const_cast<char*>(config.c_str()),
                        const_cast<char*>("--nofork"), const_cast<char*>("--syslog-only"), nullptr};
        if (posix_spawn(&daemon_, TORVEX_DBUS_DAEMON, nullptr, nullptr, argv, environ) != 0) return;
        // Ready once the socket accepts a client.
        for (int attempt = 0; attempt < 500 && address_.empty(); ++attempt) {
            if (OpenBus("unix:path=" + dir_ + "/bus").bus)
                address_ = "unix:path=" + dir_ + "/bus";
            else
                usleep(10'000);
        }
    }
    ~PrivateBus() {
        if (daemon_ > 0) {
            kill(daemon_, SIGTERM);
            waitpid(daemon_, nullptr, 0);
        }
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    const std::string& Address() const { return address_; }

  private:
    std::string dir_;
    std::string address_;
    pid_t daemon_ = 0;
};

// What the stand-ins were asked.
struct Journal {
    std::mutex lock;
    std::vector<std::string> calls;
    int inhibitor_read_end = -1;
};

Journal* JournalOf(void* userdata) {
    return static_cast<Journal*>(userdata);
}

void Note(void* userdata, const std::string& call) {
    std::lock_guard<std::mutex> hold(JournalOf(userdata)->lock);
    JournalOf(userdata)->calls.push_back(call);
}

int ResolveDevice(sd_bus_message* message, void* userdata, sd_bus_error*) {
    const char *key = nullptr, *path = nullptr;
    sd_bus_message_enter_container(message, 'a', "{sv}");
    sd_bus_message_enter_container(message, 'e', "sv");
    sd_bus_message_read(message, "s", &key);
    sd_bus_message_read(message, "v", "s", &path);
    Note(userdata, std::string("ResolveDevice ") + key + "=" + path);
    const std::string node = path;
    if (node == "/dev/sdb1" || node == "/dev/sdb2")
        return sd_bus_reply_method_return(
            message, "ao", 1, ("/org/freedesktop/UDisks2/block_devices/" + node.substr(5)).c_str());
    return sd_bus_reply_method_return(message, "ao", 0);
}

int Unmount(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const std::string object = sd_bus_message_get_path(message);
    Note(userdata, "Unmount " + object +
                       (sd_bus_message_get_allow_interactive_authorization(message)
                            ? " (may ask for a password)"
                            : ""));
    if (object.find("sdb2") != std::string::npos)
        return sd_bus_error_set(error, "org.freedesktop.UDisks2.Error.DeviceBusy",
                                "Error unmounting /dev/sdb2: target is busy");
    return sd_bus_reply_method_return(message, "");
}

int Inhibit(sd_bus_message* message, void* userdata, sd_bus_error*) {
    const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
    sd_bus_message_read(message, "ssss", &what, &who, &why, &mode);
    Note(userdata, std::string("Inhibit ") + what + " | " + who + " | " + why + " | " + mode);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return -errno;
    JournalOf(userdata)->inhibitor_read_end = ends[0];
    const int replied = sd_bus_reply_method_return(message, "h", ends[1]);
    close(ends[1]);  // the reply carried a copy; the caller's is the only write end now
    return replied;
}

const sd_bus_vtable kManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("ResolveDevice", "a{sv}a{sv}", "ao", ResolveDevice, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};
const sd_bus_vtable kFilesystem[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Unmount", "a{sv}", "", Unmount, SD_BUS_VTABLE_UNPRIVILEGED), SD_BUS_VTABLE_END};
const sd_bus_vtable kLogin[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ssss", "h", Inhibit, SD_BUS_VTABLE_UNPRIVILEGED), SD_BUS_VTABLE_END};

// udisks2 (with two block devices) and, if asked for, logind, served from a thread of their own.
class StandInServices {
  public:
    StandInServices(const std::string& address, bool with_logind) : bus_(OpenBus(address).bus) {
        sd_bus* bus = bus_.get();
        sd_bus_request_name(bus, "org.freedesktop.UDisks2", 0);
        sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/UDisks2/Manager",
                                 "org.freedesktop.UDisks2.Manager", kManager, &journal_);
        sd_bus_add_fallback_vtable(bus, nullptr, "/org/freedesktop/UDisks2/block_devices",
                                   "org.freedesktop.UDisks2.Filesystem", kFilesystem, nullptr,
                                   &journal_);
        if (with_logind) {
            sd_bus_request_name(bus, "org.freedesktop.login1", 0);
            sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", kLogin, &journal_);
        }
        serving_ = std::thread([this] {
            while (!stop_) {
                if (sd_bus_process(bus_.get(), nullptr) > 0) continue;
                sd_bus_wait(bus_.get(), 20'000);
            }
        });
    }
    ~StandInServices() {
        stop_ = true;
        serving_.join();
        if (journal_.inhibitor_read_end >= 0) close(journal_.inhibitor_read_end);
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> hold(journal_.lock);
        return journal_.calls;
    }
    // The caller released its lock: the pipe's last write end is closed. The bus daemon drops
    // the copy it passed on by itself, so this waits up to `wait_ms` for the hang-up.
    bool InhibitorReleased(int wait_ms) {
        pollfd watched{journal_.inhibitor_read_end, POLLIN, 0};
        return poll(&watched, 1, wait_ms) == 1 && (watched.revents & POLLHUP) != 0;
    }

  private:
    BusPtr bus_;
    Journal journal_;
    std::atomic<bool> stop_{false};
    std::thread serving_;
};

struct PrivateBusTest : ::testing::Test {
    void SetUp() override {
        if (bus.Address().empty()) GTEST_SKIP() << "no dbus-daemon to start a bus of our own";
    }
    PrivateBus bus;
};

TEST_F(PrivateBusTest, UnmountResolvesTheBlockObjectAndUnmountsItsFileSystem) {
    StandInServices services(bus.Address(), false);
    UDisksDiskService udisks(bus.Address());
    EXPECT_EQ(udisks.Unmount("/dev/sdb1"), "");
    EXPECT_EQ(udisks.Unmount("/dev/sdb2"), "Error unmounting /dev/sdb2: target is busy");
    EXPECT_EQ(udisks.Unmount("/dev/sdz9"), "udisks2 does not know /dev/sdz9");
    EXPECT_EQ(services.Calls(),
              (std::vector<std::string>{
                  "ResolveDevice path=/dev/sdb1",
                  "Unmount /org/freedesktop/UDisks2/block_devices/sdb1 (may ask for a password)",
                  "ResolveDevice path=/dev/sdb2",
                  "Unmount /org/freedesktop/UDisks2/block_devices/sdb2 (may ask for a password)",
                  "ResolveDevice path=/dev/sdz9"}));
}

TEST_F(PrivateBusTest, TheSleepInhibitorIsHeldUntilItsLockIsReleased) {
    StandInServices services(bus.Address(), true);
    LogindSleepInhibitor logind(bus.Address());
    Inhibition inhibition = logind.Inhibit("writing");
    ASSERT_TRUE(inhibition.lock.Held()) << inhibition.failure;
    EXPECT_EQ(services.Calls(),
              std::vector<std::string>{
                  "Inhibit sleep:idle:shutdown:handle-lid-switch | Torvex ISP | writing | block"});
    EXPECT_FALSE(services.InhibitorReleased(0));
    inhibition.lock.Release();
    EXPECT_TRUE(services.InhibitorReleased(5000));
}

TEST_F(PrivateBusTest, WithoutLogindOrWithoutABusTheInhibitorSaysWhy) {
    StandInServices services(bus.Address(), false);
    const Inhibition absent = LogindSleepInhibitor(bus.Address()).Inhibit("writing");
    EXPECT_FALSE(absent.lock.Held());
    EXPECT_NE(absent.failure.find("org.freedesktop.login1"), std::string::npos) << absent.failure;

    const Inhibition no_bus = LogindSleepInhibitor("unix:path=/nonexistent/bus").Inhibit("w");
    EXPECT_FALSE(no_bus.lock.Held());
    EXPECT_EQ(no_bus.failure.rfind("no bus at unix:path=/nonexistent/bus: ", 0), 0u)
        << no_bus.failure;
}

}  // namespace
}  // namespace torvex::desktop
