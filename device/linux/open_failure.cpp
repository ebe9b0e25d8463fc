#include "device/linux/open_failure.h"

#include <cerrno>
#include <cstring>

namespace torvex::linux_backend {
namespace {

std::string ErrnoText(int error_number) {
    return std::string(std::strerror(error_number)) + " (errno " + std::to_string(error_number) +
           ")";
}

std::string Busy(const EnumeratedDisk& disk, const std::vector<Mount>& mounts) {
    std::string text = ErrnoText(EBUSY) + ": ";
    if (mounts.empty()) return text + "another program holds " + disk.devnode + " exclusively";
    for (std::size_t i = 0; i < mounts.size(); ++i)
        text += (i ? ", " : "") + mounts[i].devnode + " is mounted on " + mounts[i].mount_point;
    return text + "; free it with: " + UnmountCommand(mounts);
}

}  // namespace

std::string DescribeOpenFailure(const EnumeratedDisk& disk, const OpenOutcome& outcome,
                                const std::vector<Mount>& mounts) {
    if (outcome.locked_by_other)
        return "another program holds the lock of " + disk.devnode + " (flock)";
    switch (outcome.error_number) {
        case 0:
            return disk.devnode + " is no longer the disk that was found";
        case EBUSY:
            return Busy(disk, mounts);
        case EACCES:
        case EPERM:
            return ErrnoText(outcome.error_number) + ": this user may not open " + disk.devnode +
                   "; the tool needs read access to the product's disk and raw SCSI access "
                   "(CAP_SYS_RAWIO)";
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return ErrnoText(outcome.error_number) + ": " + disk.devnode + " is gone";
        default:
            return ErrnoText(outcome.error_number) + ": " + disk.devnode;
    }
}

std::string DescribeUnlistedPath(const std::string& path) {
    return path + " is not a USB mass-storage disk of the last listing";
}

}  // namespace torvex::linux_backend
