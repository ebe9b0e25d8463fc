#include "device/linux/exclusive_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "device/linux/disk_enumerator.h"

namespace torvex::linux_backend {
namespace {

bool SameIdentity(const EnumeratedDisk& listed, const EnumeratedDisk& now) {
    return now.device_number == listed.device_number && now.devnode == listed.devnode &&
           now.interface.compatible_ids == listed.interface.compatible_ids &&
           now.interface.parent_device_id == listed.interface.parent_device_id;
}

int OpenNode(const char* devnode) {
    int fd = -1;
    do {
        fd = open(devnode, O_RDWR | O_EXCL | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

OpenOutcome OpenEnumeratedDisk(udev* context, const EnumeratedDisk& disk) {
    struct stat node {};
    if (stat(disk.devnode.c_str(), &node) != 0) return OpenOutcome{-1, errno};
    if (!S_ISBLK(node.st_mode) || node.st_rdev != disk.device_number) return OpenOutcome{};

    const int fd = OpenNode(disk.devnode.c_str());
    if (fd < 0) return OpenOutcome{-1, errno};

    struct stat opened {};
    const bool same_node =
        fstat(fd, &opened) == 0 && opened.st_dev == node.st_dev && opened.st_ino == node.st_ino;
    const auto now = same_node ? ReadDiskNow(context, disk.sysname) : std::nullopt;
    if (!now || !SameIdentity(disk, *now)) {
        close(fd);
        return OpenOutcome{};
    }
    return OpenOutcome{fd, 0};
}

}  // namespace torvex::linux_backend
