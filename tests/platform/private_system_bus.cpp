#include "tests/platform/private_system_bus.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

extern char** environ;

namespace torvex::testing {
namespace {

constexpr int kReportFd = 3;  // where a child writes its address or "ready"

// Everything may talk to everything: the bus policy of the package is not under test here.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=@DIR@/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts a child whose fd 3 is the write end of a pipe and returns the child's first line there
// (empty when it wrote none before closing it or exiting).
pid_t SpawnReporting(std::vector<std::string> args, std::vector<std::string> environment,
                     std::string& line, bool quiet = false) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, report[1], kReportFd);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    if (quiet) posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    auto argv = Pointers(args);
    auto envp = Pointers(environment);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&files);
    close(report[1]);
    char c = 0;
    while (pid > 0 && read(report[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    close(report[0]);
    return pid;
}

std::vector<std::string> Environment(bool with_preload) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        if (with_preload || text.rfind("LD_PRELOAD=", 0) != 0) environment.push_back(text);
    }
    return environment;
}

int Stop(pid_t& pid) {
    if (pid <= 0) return -1;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

PrivateSystemBus::PrivateSystemBus() {
    std::string directory = "/tmp/torvex-bus-XXXXXX";
    if (mkdtemp(directory.data()) == nullptr) return;
    directory_ = directory;
    std::string config = kBusConfig;
    config.replace(config.find("@DIR@"), 5, directory_);
    std::ofstream(directory_ + "/bus.conf") << config;
    // The bus daemon itself runs outside the testbed, and without a word about the file limit it
    // may not raise.
    bus_pid_ = SpawnReporting({"/usr/bin/dbus-daemon", "--config-file=" + directory_ + "/bus.conf",
                               "--nofork", "--nopidfile", "--print-address=3"},
                              Environment(false), address_, /*quiet=*/true);
    if (address_.empty()) Stop(bus_pid_);
    if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) {
        had_address_ = true;
        saved_address_ = old;
    }
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateSystemBus::~PrivateSystemBus() {
    StopHelper();
    Stop(bus_pid_);
    if (had_address_)
        setenv("DBUS_SYSTEM_BUS_ADDRESS", saved_address_.c_str(), 1);
    else
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (!directory_.empty()) {
        unlink((directory_ + "/bus.conf").c_str());
        unlink((directory_ + "/bus").c_str());
        rmdir(directory_.c_str());
    }
}

bool PrivateSystemBus::StartHelper(bool authorize, const std::vector<std::string>& options) {
    StopHelper();
    if (!Running()) return false;
    std::vector<std::string> args = {TORVEX_TEST_HELPER_PATH, "--ready-fd", "3"};
    if (!authorize) args.push_back("--deny");
    args.insert(args.end(), options.begin(), options.end());
    std::string ready;
    helper_pid_ = SpawnReporting(args, Environment(true), ready);
    if (ready != "ready") StopHelper();
    return helper_pid_ > 0;
}

int PrivateSystemBus::StopHelper() {
    return Stop(helper_pid_);
}

void PrivateSystemBus::SignalHelper() {
    if (helper_pid_ > 0) kill(helper_pid_, SIGTERM);
}

bool PrivateSystemBus::HelperEnded() {
    if (helper_pid_ <= 0) return true;
    int status = 0;
    if (waitpid(helper_pid_, &status, WNOHANG) != helper_pid_) return false;
    helper_pid_ = -1;
    return true;
}

}  // namespace torvex::testing
