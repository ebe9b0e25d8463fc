#include "desktop/linux/sleep_inhibitor.h"

#include <unistd.h>

namespace torvex::desktop {

InhibitorLock& InhibitorLock::operator=(InhibitorLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void InhibitorLock::Release() {
    if (fd_ < 0) return;
    close(fd_);
    fd_ = -1;
}

}  // namespace torvex::desktop
