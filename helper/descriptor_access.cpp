#include "helper/descriptor_access.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <system_error>
#include <thread>

#include "device/linux/sg_io_pass_through.h"

namespace torvex::helper {
namespace {

// The file's type and number from the kernel's cached attributes: AT_STATX_DONT_SYNC keeps a
// network or FUSE file system from being asked.
bool CachedStatus(int fd, struct statx& status) {
    return statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_TYPE | STATX_INO, &status) == 0;
}

const char* TypeName(unsigned mode) {
    switch (mode & S_IFMT) {
        case S_IFREG:
            return "a regular file";
        case S_IFDIR:
            return "a directory";
        case S_IFIFO:
            return "a FIFO";
        case S_IFSOCK:
            return "a socket";
        case S_IFCHR:
            return "a character device";
        case S_IFLNK:
            return "a symbolic link";
        default:
            return "a file of unknown type";
    }
}

}  // namespace

std::string OpenModeRefusal(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return "the descriptor cannot be examined";
    if ((flags & O_PATH) != 0) return "the descriptor is an O_PATH descriptor, not an open disk";
    if ((flags & O_ACCMODE) == O_WRONLY)
        return "the descriptor is open for writing only; the disk must be open for reading";
    return {};
}

std::string KernelDescriptorAccess::Refusal(int fd) {
    if (std::string mode = OpenModeRefusal(fd); !mode.empty()) return mode;
    struct statx status {};
    if (!CachedStatus(fd, status)) return "the descriptor cannot be examined";
    if (!S_ISBLK(status.stx_mode))
        return std::string("the descriptor is not open on a block device but on ") +
               TypeName(status.stx_mode);
    return {};
}

std::optional<dev_t> KernelDescriptorAccess::BlockDevice(int fd) {
    struct statx status {};
    if (!CachedStatus(fd, status) || !S_ISBLK(status.stx_mode)) return std::nullopt;
    return makedev(status.stx_rdev_major, status.stx_rdev_minor);
}

PassThroughResult KernelDescriptorAccess::Send(int fd, const PassThroughRequest& request) {
    return linux_backend::SendSgIo(fd, request);
}

bool DivertDescriptor(int fd) {
    static const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    struct statx target {};
    if (null < 0 || !CachedStatus(null, target)) return false;
    // dup3 puts /dev/null in the descriptor's place at once and only then closes the old file, so
    // the thread may wait there for good while the loop goes on.
    try {
        std::thread([fd] { dup3(null, fd, O_CLOEXEC); }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
        struct statx now {};
        if (CachedStatus(fd, now) && now.stx_ino == target.stx_ino &&
            now.stx_dev_major == target.stx_dev_major && now.stx_dev_minor == target.stx_dev_minor)
            return true;
        // Not yet in place: the thread may still put /dev/null there, so fd must stay open.
        if (std::chrono::steady_clock::now() > deadline) return false;
        sched_yield();
    }
}

}  // namespace torvex::helper
