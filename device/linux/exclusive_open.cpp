#include "device/linux/exclusive_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "device/linux/disk_enumerator.h"

namespace torvex::linux_backend {
namespace {

// udev holds a shared lock on a disk for the moment it processes an event of it; the open waits
// that long, not for a program that keeps the disk locked.
constexpr int kLockAttempts = 20;
constexpr std::chrono::milliseconds kLockRetryPause{10};

bool SameIdentity(const EnumeratedDisk& listed, const EnumeratedDisk& now) {
    return now.device_number == listed.device_number && now.devnode == listed.devnode &&
           now.interface.compatible_ids == listed.interface.compatible_ids &&
           now.interface.parent_device_id == listed.interface.parent_device_id;
}

int OpenNode(OpenNodeCall open_node, const char* devnode) {
    int fd = -1;
    do {
        fd = open_node(devnode, kDiskOpenFlags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// 0, or the errno of a lock that could not be taken.
int LockDisk(int fd) {
    for (int attempt = 1;; ++attempt) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        const int error_number = errno;
        if (error_number != EWOULDBLOCK || attempt == kLockAttempts) return error_number;
        std::this_thread::sleep_for(kLockRetryPause);
    }
}

OpenOutcome Failure(int error_number) {
    OpenOutcome outcome;
    outcome.error_number = error_number;
    return outcome;
}

}  // namespace

OpenOutcome OpenEnumeratedDisk(udev* context, const EnumeratedDisk& disk, OpenNodeCall open_node) {
    struct stat node {};
    if (stat(disk.devnode.c_str(), &node) != 0) return Failure(errno);
    if (!S_ISBLK(node.st_mode) || node.st_rdev != disk.device_number) return Failure(0);

    const int fd = OpenNode(open_node, disk.devnode.c_str());
    if (fd < 0) return Failure(errno);

    if (const int error_number = LockDisk(fd); error_number != 0) {
        close(fd);
        OpenOutcome outcome = Failure(error_number);
        outcome.locked_by_other = error_number == EWOULDBLOCK;
        return outcome;
    }
    struct stat opened {};
    const bool same_node =
        fstat(fd, &opened) == 0 && opened.st_dev == node.st_dev && opened.st_ino == node.st_ino;
    auto now = same_node ? ReadDiskNow(context, disk.sysname) : std::nullopt;
    if (!now || !SameIdentity(disk, *now)) {
        close(fd);
        return Failure(0);
    }
    OpenOutcome outcome;
    outcome.fd = fd;
    outcome.proven = std::move(now);
    return outcome;
}

}  // namespace torvex::linux_backend
