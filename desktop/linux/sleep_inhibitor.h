#pragma once
// Keeping the system awake: a sleep inhibitor lock is held while its descriptor is open, and
// closing it lets the system sleep again. logind gives one over D-Bus (logind_sleep_inhibitor.h);
// tests use a double.

#include <string>

namespace torvex::desktop {

// A held lock: the descriptor the inhibitor gave; closed when released or destroyed.
class InhibitorLock {
  public:
    InhibitorLock() = default;
    explicit InhibitorLock(int fd) : fd_(fd) {}
    ~InhibitorLock() { Release(); }
    InhibitorLock(InhibitorLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    InhibitorLock& operator=(InhibitorLock&& other) noexcept;
    InhibitorLock(const InhibitorLock&) = delete;
    InhibitorLock& operator=(const InhibitorLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    void Release();

  private:
    int fd_ = -1;
};

// A lock, or why there is none.
struct Inhibition {
    InhibitorLock lock;
    std::string failure;
};

class SleepInhibitor {
  public:
    virtual ~SleepInhibitor() = default;

    // Blocks sleep (and idle actions) until the returned lock is released; `why` is what the
    // system shows to whoever asks it to sleep meanwhile.
    virtual Inhibition Inhibit(const std::string& why) = 0;
};

}  // namespace torvex::desktop
