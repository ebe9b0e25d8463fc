#pragma once
// Keeps two instances of the tool (a window, runners) off one product. Each product has a lock
// file named after its USB port, which stays the same while the product re-enumerates in its
// other codes; an instance holds the file's flock from its first open of the product until it
// ends. The file names the holder, so that a second instance can say who has the product.
//
// The files live in a directory only root and torvex-isp-helper's user may write (the package's
// tmpfiles.d entry makes /run/torvex-isp, owned by that user): no other user can plant a lock
// file or hold one. A runner as root locks there itself; a process that reaches the product
// through torvex-isp-helper has the helper lock it on its behalf. Every open is non-blocking and
// does not follow a link, and only a regular file of root, of this process's user or of the
// directory's owner is taken as a lock (and its text shown).

#include <sys/types.h>

#include <map>
#include <string>

namespace torvex::linux_backend {

inline constexpr const char* kDefaultLockDirectory = "/run/torvex-isp";

class ProductLocks {
  public:
    // `holder`: the text the lock file carries while this instance holds it; empty: this
    // program's name and pid.
    explicit ProductLocks(std::string directory, std::string holder = {});
    ~ProductLocks();
    ProductLocks(const ProductLocks&) = delete;
    ProductLocks& operator=(const ProductLocks&) = delete;

    // Takes the lock of the product at `port_path`, or finds it already held by this instance.
    // Empty on success; otherwise why not ("the product is in use by torvex-isp-cli (pid
    // 4242)", or what is wrong with the lock directory or file).
    std::string Acquire(const std::string& port_path);
    // Lets the lock of a port go (nothing when this instance does not hold it).
    void Release(const std::string& port_path);
    bool Holds(const std::string& port_path) const { return held_.count(port_path) != 0; }
    bool HoldsAny() const { return !held_.empty(); }

    // The lock file of a port, for messages and tests.
    std::string PathFor(const std::string& port_path) const;

  private:
    std::string directory_;
    std::string holder_;
    std::map<std::string, int> held_;  // port path -> open lock file
};

}  // namespace torvex::linux_backend
