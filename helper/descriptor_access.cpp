#include "helper/descriptor_access.h"

#include <sys/stat.h>

#include "device/linux/sg_io_pass_through.h"

namespace torvex::helper {

std::optional<dev_t> KernelDescriptorAccess::BlockDevice(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISBLK(status.st_mode)) return std::nullopt;
    return status.st_rdev;
}

PassThroughResult KernelDescriptorAccess::Send(int fd, const PassThroughRequest& request) {
    return linux_backend::SendSgIo(fd, request);
}

}  // namespace torvex::helper
