#pragma once
// Keeps two instances of the tool (a window, runners) off one product. Each product has a lock
// file named after its USB port, which stays the same while the product re-enumerates in its
// other codes; an instance holds the file's flock from its first open of the product until it
// ends. The file names the holder, so that a second instance can say who has the product.

#include <map>
#include <string>

namespace torvex::linux_backend {

// Where the lock files live: /run/lock (shared by every user on the machine).
inline constexpr const char* kDefaultLockDirectory = "/run/lock";

class ProductLocks {
  public:
    explicit ProductLocks(std::string directory) : directory_(std::move(directory)) {}
    ~ProductLocks();
    ProductLocks(const ProductLocks&) = delete;
    ProductLocks& operator=(const ProductLocks&) = delete;

    // Takes the lock of the product at `port_path`, or finds it already held by this instance.
    // Empty on success; otherwise why not ("in use by torvex-isp-cli (pid 4242)", or the system's
    // words when the lock file cannot be made).
    std::string Acquire(const std::string& port_path);

    // The lock file of a port, for messages and tests.
    std::string PathFor(const std::string& port_path) const;

  private:
    std::string directory_;
    std::map<std::string, int> held_;  // port path -> open lock file
};

}  // namespace torvex::linux_backend
