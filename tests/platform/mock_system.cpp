#include "tests/platform/mock_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace torvex::testing {
namespace {

// "b", "c", ... "z", "ba", ...: the letters after "umock-sd".
std::string DiskLetters(int index) {
    std::string letters;
    int value = index + 1;  // start at "b" as the first disk after a system disk "a"
    do {
        letters.insert(letters.begin(), static_cast<char>('a' + value % 26));
        value /= 26;
    } while (value > 0);
    return letters;
}

}  // namespace

MockSystem::MockSystem() : testbed_(umockdev_testbed_new()) {
    if (!umockdev_in_mock_environment()) {
        std::fputs("not under umockdev-wrapper: refusing to touch the real /sys and /dev\n",
                   stderr);
        std::_Exit(77);
    }
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    root_ = root;
    g_free(root);
    mkdir((root_ + "/dev").c_str(), 0755);
}

MockSystem::~MockSystem() {
    g_object_unref(testbed_);
}

bool MockSystem::InMockEnvironment() {
    return umockdev_in_mock_environment();
}

FakeDiskName MockSystem::NextDiskName() {
    const int index = disks_++;
    FakeDiskName name;
    name.sysname = "umock-sd" + DiskLetters(index);
    name.devnode = "/dev/" + name.sysname;
    name.major = 8;
    name.minor = static_cast<unsigned>(16 * (index + 1));
    return name;
}

void MockSystem::PrepareDiskNode(const FakeDiskName& name) {
    // A block device removed earlier leaves its class link behind; re-adding the name needs it
    // gone.
    unlink((root_ + "/sys/block/" + name.sysname).c_str());
    const std::string node = root_ + name.devnode;
    const int fd = open(node.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) close(fd);
    chmod(node.c_str(), 01644);
}

std::string MockSystem::AddPlainDisk() {
    const FakeDiskName name = NextDiskName();
    const std::string controller = "pci0000:00/0000:00:1f." + std::to_string(disks_);
    gchar* pci = umockdev_testbed_add_device(testbed_, "pci", controller.c_str(), nullptr, "vendor",
                                             "0x8086", nullptr, nullptr);
    gchar* scsi =
        umockdev_testbed_add_device(testbed_, "scsi", "host0/target0:0:0/0:0:0:0", pci, "vendor",
                                    "ATA", "type", "0", nullptr, "DEVTYPE", "scsi_device", nullptr);
    PrepareDiskNode(name);
    const std::string number = std::to_string(name.major) + ":" + std::to_string(name.minor);
    gchar* block = umockdev_testbed_add_device(
        testbed_, "block", name.sysname.c_str(), scsi, "dev", number.c_str(), nullptr, "DEVNAME",
        name.devnode.c_str(), "DEVTYPE", "disk", "MAJOR", std::to_string(name.major).c_str(),
        "MINOR", std::to_string(name.minor).c_str(), nullptr);
    g_free(block);
    g_free(scsi);
    g_free(pci);
    return name.devnode;
}

}  // namespace torvex::testing
