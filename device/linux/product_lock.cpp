#include "device/linux/product_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace torvex::linux_backend {
namespace {

// Port paths are digits, dots and dashes ("2-1.4"); anything else is kept out of the file name.
std::string FileNamePart(const std::string& port_path) {
    std::string part;
    for (char c : port_path) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                           (c >= 'A' && c <= 'Z') || c == '.' || c == '-';
        part.push_back(plain ? c : '_');
    }
    return part;
}

std::string ThisProgram() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return (name.empty() ? std::string("torvex-isp") : name) + " (pid " + std::to_string(getpid()) +
           ")";
}

// The holder as the file says it, cut to one short printable line.
std::string HolderOf(int fd) {
    char text[128] = {};
    const ssize_t length = pread(fd, text, sizeof text - 1, 0);
    std::string holder;
    for (ssize_t i = 0; i < length && text[i] != '\n'; ++i)
        holder.push_back(text[i] >= 0x20 && text[i] < 0x7F ? text[i] : '?');
    return holder.empty() ? std::string("another instance of the tool") : holder;
}

int OpenLockFile(const std::string& path) {
    // O_NOFOLLOW: the directory is shared, a link planted there must not redirect the write.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    // A file another user made can still be locked through a read-only descriptor.
    if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    return fd;
}

}  // namespace

ProductLocks::~ProductLocks() {
    for (const auto& [port, fd] : held_) close(fd);
}

std::string ProductLocks::PathFor(const std::string& port_path) const {
    return directory_ + "/torvex-isp-" + FileNamePart(port_path) + ".lock";
}

std::string ProductLocks::Acquire(const std::string& port_path) {
    if (held_.count(port_path) != 0) return {};
    const std::string path = PathFor(port_path);
    const int fd = OpenLockFile(path);
    if (fd < 0) return "cannot make the product's lock file " + path + ": " + std::strerror(errno);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::string reason = errno == EWOULDBLOCK ? "the product is in use by " + HolderOf(fd)
                                                        : std::string(std::strerror(errno));
        close(fd);
        return reason;
    }
    const std::string holder = ThisProgram() + "\n";
    if (ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = pwrite(fd, holder.data(), holder.size(), 0);
    }
    held_.emplace(port_path, fd);
    return {};
}

}  // namespace torvex::linux_backend
