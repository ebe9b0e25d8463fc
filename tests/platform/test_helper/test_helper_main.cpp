// torvex-isp-helper as the tests run it: the same service on the bus $DBUS_SYSTEM_BUS_ADDRESS
// names (a bus the test started), with an authority that answers as the test says and the
// descriptor access of a process under umockdev. It never leaves on its own. With --polkit it
// asks polkit as the service does, for a run by hand on a machine's own system bus.
//   torvex_test_isp_helper [--deny | --polkit] [--ready-fd N]
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "device/linux/sd_bus_handles.h"
#include "helper/polkit_authority.h"
#include "helper/service_loop.h"
#include "tests/platform/test_helper/umockdev_descriptor_access.h"

namespace {

class TestAuthority final : public torvex::helper::Authority {
  public:
    explicit TestAuthority(bool authorize) : authorize_(authorize) {}
    void Check(const std::string&, bool, Done done) override {
        done({authorize_, authorize_ ? "" : "the test's authority says no"});
    }

  private:
    bool authorize_;
};

}  // namespace

int main(int argc, char** argv) {
    bool authorize = true;
    bool polkit = false;
    int ready_fd = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option(argv[i]);
        if (option == "--deny") authorize = false;
        if (option == "--polkit") polkit = true;
        if (option == "--ready-fd" && i + 1 < argc) ready_fd = std::atoi(argv[++i]);
    }
    sd_bus* raw = nullptr;
    if (const int result = sd_bus_open_system(&raw); result < 0) {
        std::fprintf(stderr, "test helper: no bus: %s\n", std::strerror(-result));
        return 1;
    }
    torvex::linux_backend::SdBusPtr bus(raw);
    TestAuthority test_authority(authorize);
    torvex::helper::PolkitAuthority polkit_authority(bus.get());
    torvex::helper::Authority& authority =
        polkit ? static_cast<torvex::helper::Authority&>(polkit_authority) : test_authority;
    torvex::testing::UmockdevDescriptorAccess access;
    torvex::helper::ServiceOptions options;
    options.idle_exit = std::chrono::seconds(0);
    options.on_ready = [ready_fd] {
        if (ready_fd < 0) return;
        [[maybe_unused]] const ssize_t written = write(ready_fd, "ready\n", 6);
        close(ready_fd);
    };
    return torvex::helper::RunHelperService(bus.get(), authority, access, options);
}
