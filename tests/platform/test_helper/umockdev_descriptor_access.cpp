#include "tests/platform/test_helper/umockdev_descriptor_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "device/linux/sg_io_pass_through.h"

namespace torvex::testing {

std::optional<std::string> UmockdevDescriptorAccess::FakeNodeOf(int fd) {
    const char* root = std::getenv("UMOCKDEV_DIR");
    if (root == nullptr) return std::nullopt;
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) return std::nullopt;
    const std::string path(target, static_cast<std::size_t>(length));
    const std::string devices = std::string(root) + "/dev/";
    if (path.rfind(devices, 0) != 0) return std::nullopt;
    return path.substr(devices.size() - 5);  // from "/dev/"
}

std::string UmockdevDescriptorAccess::Refusal(int fd) {
    if (FakeNodeOf(fd) && BlockDevice(fd)) return helper::OpenModeRefusal(fd);
    return kernel_.Refusal(fd);
}

std::optional<dev_t> UmockdevDescriptorAccess::BlockDevice(int fd) {
    const auto node = FakeNodeOf(fd);
    if (!node) return kernel_.BlockDevice(fd);
    struct stat faked {};
    struct stat opened {};
    // The testbed's stat of the node, for the very file the descriptor is open on.
    if (stat(node->c_str(), &faked) != 0 || fstat(fd, &opened) != 0 || !S_ISBLK(faked.st_mode) ||
        faked.st_ino != opened.st_ino || faked.st_dev != opened.st_dev)
        return std::nullopt;
    return faked.st_rdev;
}

PassThroughResult UmockdevDescriptorAccess::Send(int fd, const PassThroughRequest& request) {
    const auto node = FakeNodeOf(fd);
    if (!node) return kernel_.Send(fd, request);
    const int faked = open(node->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (faked < 0) return kernel_.Send(fd, request);
    PassThroughResult result = linux_backend::SendSgIo(faked, request);
    close(faked);
    return result;
}

}  // namespace torvex::testing
