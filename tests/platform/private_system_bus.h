#pragma once
// A bus daemon of the test's own, standing in for the system bus: while it lives,
// $DBUS_SYSTEM_BUS_ADDRESS names it, so the helper's client in this process and the helper it
// starts meet there. The helper runs as a child under this process's umockdev environment (the
// testbed must exist first), with the test's authority.

#include <sys/types.h>

#include <string>
#include <vector>

namespace torvex::testing {

class PrivateSystemBus {
  public:
    PrivateSystemBus();
    ~PrivateSystemBus();
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    bool Running() const { return bus_pid_ > 0; }

    // Starts the helper and waits until it owns its name; false when it did not come up.
    // authorize: what the test's authority answers to every claim. `options`: more of the test
    // helper's options (test_helper/test_helper_main.cpp).
    bool StartHelper(bool authorize = true, const std::vector<std::string>& options = {});
    // SIGTERM to the helper, and its exit status once it has ended (-1 when it did not run or
    // was killed).
    int StopHelper();
    // SIGTERM to the helper without waiting for it to end.
    void SignalHelper();
    // The helper has ended on its own (it is reaped then); false while it runs.
    bool HelperEnded();

  private:
    std::string directory_;
    std::string address_;
    std::string saved_address_;
    bool had_address_ = false;
    pid_t bus_pid_ = -1;
    pid_t helper_pid_ = -1;
};

}  // namespace torvex::testing
