// torvex-isp-helper as the tests run it: the same service on the bus $DBUS_SYSTEM_BUS_ADDRESS
// names (a bus the test started), with an authority that answers as the test says and the
// descriptor access of a process under umockdev. It never leaves on its own unless given
// --idle-exit-ms. With --polkit it asks polkit as the service does, for a run by hand on a
// machine's own system bus.
//   torvex_test_isp_helper [--deny | --polkit | --silent] [--ready-fd N] [--command-limit-ms N]
//                          [--hold-dir DIR] [--idle-exit-ms N]
// --silent: the authority never answers (an operator who does not type the password).
// --hold-dir: a command for the node /dev/NAME waits while DIR/NAME is a FIFO, until the test
// writes to it (a product that holds a command).
#include <fcntl.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "device/linux/sd_bus_handles.h"
#include "helper/polkit_authority.h"
#include "helper/service_loop.h"
#include "tests/platform/test_helper/umockdev_descriptor_access.h"

namespace {

class TestAuthority final : public torvex::helper::Authority {
  public:
    TestAuthority(bool authorize, bool silent) : authorize_(authorize), silent_(silent) {}
    void Check(const std::string&, bool, Done done) override {
        if (silent_) {
            unanswered_.push_back(std::move(done));
            return;
        }
        done({authorize_, authorize_ ? "" : "the test's authority says no"});
    }

  private:
    bool authorize_;
    bool silent_;
    std::vector<Done> unanswered_;
};

// The umockdev access, with a command held while the test's FIFO for its node exists.
class HoldingAccess final : public torvex::helper::DescriptorAccess {
  public:
    explicit HoldingAccess(std::string hold_dir) : hold_dir_(std::move(hold_dir)) {}
    std::string Refusal(int fd) override { return access_.Refusal(fd); }
    std::optional<dev_t> BlockDevice(int fd) override { return access_.BlockDevice(fd); }
    torvex::PassThroughResult Send(int fd, const torvex::PassThroughRequest& request) override {
        const auto node = torvex::testing::UmockdevDescriptorAccess::FakeNodeOf(fd);
        if (!hold_dir_.empty() && node) {
            const std::string fifo = hold_dir_ + "/" + node->substr(5);
            struct stat status {};
            if (stat(fifo.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
                // Opens when the test opens its end, goes on when the test writes or closes.
                const int held = open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
                char byte = 0;
                if (held >= 0 && read(held, &byte, 1) >= 0) close(held);
            }
        }
        return access_.Send(fd, request);
    }

  private:
    std::string hold_dir_;
    torvex::testing::UmockdevDescriptorAccess access_;
};

}  // namespace

int main(int argc, char** argv) {
    bool authorize = true;
    bool polkit = false;
    bool silent = false;
    int ready_fd = -1;
    int command_limit_ms = 0;
    int idle_exit_ms = 0;
    std::string hold_dir;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option(argv[i]);
        if (option == "--deny") authorize = false;
        if (option == "--polkit") polkit = true;
        if (option == "--silent") silent = true;
        if (option == "--ready-fd" && i + 1 < argc) ready_fd = std::atoi(argv[++i]);
        if (option == "--command-limit-ms" && i + 1 < argc) command_limit_ms = std::atoi(argv[++i]);
        if (option == "--hold-dir" && i + 1 < argc) hold_dir = argv[++i];
        if (option == "--idle-exit-ms" && i + 1 < argc) idle_exit_ms = std::atoi(argv[++i]);
    }
    sd_bus* raw = nullptr;
    if (const int result = sd_bus_open_system(&raw); result < 0) {
        std::fprintf(stderr, "test helper: no bus: %s\n", std::strerror(-result));
        return 1;
    }
    torvex::linux_backend::SdBusPtr bus(raw);
    TestAuthority test_authority(authorize, silent);
    torvex::helper::PolkitAuthority polkit_authority(bus.get());
    torvex::helper::Authority& authority =
        polkit ? static_cast<torvex::helper::Authority&>(polkit_authority) : test_authority;
    HoldingAccess access(hold_dir);
    torvex::helper::ServiceOptions options;
    options.idle_exit = std::chrono::milliseconds(idle_exit_ms);
    options.limits.command = std::chrono::milliseconds(command_limit_ms);
    options.on_ready = [ready_fd] {
        if (ready_fd < 0) return;
        [[maybe_unused]] const ssize_t written = write(ready_fd, "ready\n", 6);
        close(ready_fd);
    };
    return torvex::helper::RunHelperService(bus.get(), authority, access, options);
}
