#include "device/linux/product_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace torvex::linux_backend {
namespace {

constexpr int kOpenFlags = O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;

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

bool TrustedOwner(uid_t owner, uid_t directory_owner) {
    return owner == 0 || owner == geteuid() || owner == directory_owner;
}

// The lock directory, open, when no other user can make or replace files in it: a directory (not
// a link to one) writable by its owner only. Only root can make one in /run, so its owner is root
// or the user root gave it to (the helper's). Root makes it when it is missing (a system without
// the package's tmpfiles.d entry). -1 and why not otherwise.
int OpenLockDirectory(const std::string& directory, struct stat& status, std::string& why_not) {
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | kOpenFlags);
    if (fd < 0 && errno == ENOENT && geteuid() == 0 && mkdir(directory.c_str(), 0755) == 0)
        fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | kOpenFlags);
    if (fd < 0) {
        why_not = "cannot open the lock directory " + directory + ": " + std::strerror(errno);
        return -1;
    }
    if (fstat(fd, &status) != 0 || !S_ISDIR(status.st_mode) ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        why_not = "the lock directory " + directory +
                  " is not safe: other users could make or hold the product's lock in it";
        close(fd);
        return -1;
    }
    return fd;
}

// The port's lock file, made when missing. Root gives a file it makes to the directory's owner
// (the helper's user), who may then write its holder's name in it too. A file another trusted
// user made (root, the directory's owner) can still be locked through a read-only descriptor.
int OpenLockFile(int directory, const std::string& name, const struct stat& directory_status) {
    int fd = openat(directory, name.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, 0644);
    if (fd >= 0) {
        if (geteuid() == 0 && directory_status.st_uid != 0 &&
            fchown(fd, directory_status.st_uid, directory_status.st_gid) != 0) {
            // Then it stays root's: the helper can still lock it through a read-only descriptor.
        }
        return fd;
    }
    if (errno == EEXIST) fd = openat(directory, name.c_str(), O_RDWR | kOpenFlags);
    if (fd < 0 && errno == EACCES) fd = openat(directory, name.c_str(), O_RDONLY | kOpenFlags);
    return fd;
}

}  // namespace

ProductLocks::ProductLocks(std::string directory, std::string holder)
    : directory_(std::move(directory)),
      holder_(holder.empty() ? ThisProgram() : std::move(holder)) {}

ProductLocks::~ProductLocks() {
    for (const auto& [port, fd] : held_) close(fd);
}

void ProductLocks::Release(const std::string& port_path) {
    const auto held = held_.find(port_path);
    if (held == held_.end()) return;
    close(held->second);
    held_.erase(held);
}

std::string ProductLocks::PathFor(const std::string& port_path) const {
    return directory_ + "/torvex-isp-" + FileNamePart(port_path) + ".lock";
}

std::string ProductLocks::Acquire(const std::string& port_path) {
    if (held_.count(port_path) != 0) return {};
    const std::string path = PathFor(port_path);
    std::string why_not;
    struct stat directory_status {};
    const int directory = OpenLockDirectory(directory_, directory_status, why_not);
    if (directory < 0) return why_not;
    const int fd = OpenLockFile(directory, path.substr(directory_.size() + 1), directory_status);
    const int open_error = errno;
    close(directory);
    if (fd < 0)
        return "cannot make the product's lock file " + path + ": " + std::strerror(open_error);
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        !TrustedOwner(status.st_uid, directory_status.st_uid)) {
        close(fd);
        return "the product's lock file " + path +
               " is not a regular file of the tool: remove it and try again";
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::string reason = errno == EWOULDBLOCK ? "the product is in use by " + HolderOf(fd)
                                                        : std::string(std::strerror(errno));
        close(fd);
        return reason;
    }
    const std::string holder = holder_ + "\n";
    if (ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = pwrite(fd, holder.data(), holder.size(), 0);
    }
    held_.emplace(port_path, fd);
    return {};
}

}  // namespace torvex::linux_backend
