// The exclusive open: only a listed USB disk, and only while its node is still that disk. A node
// name outlives the disk it named, so a disk that arrives where the product was must never
// receive a command meant for the product.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "base/text.h"
#include "device/linux/linux_device_platform.h"
#include "tests/platform/fake_usb_disk.h"
#include "tests/platform/scripted_disk.h"

namespace torvex::testing {
namespace {

using linux_backend::LinuxDevicePlatform;

const std::uint8_t kVendorProbe[16] = {0xFF, 0x44};

PassThroughResult SendProbe(DevicePlatform& platform, DeviceHandle handle) {
    PassThroughRequest request;
    request.cdb = kVendorProbe;
    return platform.PassThrough(handle, request);
}

// The fds of this process open on a node whose path ends in `devnode`, with their fdinfo flags.
std::vector<unsigned long> OpenFlagsOn(const std::string& devnode) {
    std::vector<unsigned long> flags;
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return flags;
    while (const dirent* entry = readdir(fds)) {
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        char target[512] = {};
        const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        const std::string text(target, length > 0 ? static_cast<std::size_t>(length) : 0);
        if (text.size() < devnode.size() ||
            text.compare(text.size() - devnode.size(), devnode.size(), devnode) != 0)
            continue;
        std::ifstream info(std::string("/proc/self/fdinfo/") + entry->d_name);
        std::string key, value;
        while (info >> key >> value) {
            if (key == "flags:") flags.push_back(std::strtoul(value.c_str(), nullptr, 8));
        }
    }
    closedir(fds);
    return flags;
}

struct ExclusiveOpenTest : ::testing::Test {
    MockSystem system;
    ScriptedDisk backing;
};

TEST_F(ExclusiveOpenTest, ListedProductOpensAndCarriesCommandsUntilClosed) {
    FakeUsbDisk product(system, ProtectIspIdentity(), backing);
    LinuxDevicePlatform platform;
    platform.ListDiskInterfaces();
    const DeviceHandle handle = platform.OpenExclusive(product.Path());
    ASSERT_NE(handle, kInvalidDeviceHandle);
    EXPECT_TRUE(SendProbe(platform, handle).delivered);

    // Read-only (udev's watch re-probes a disk closed after writing), exclusive, and locked
    // while open: a second descriptor of the node cannot take the lock.
    const auto flags = OpenFlagsOn(product.DevNode());
    ASSERT_EQ(flags.size(), 1u);
    EXPECT_EQ(flags[0] & O_ACCMODE, static_cast<unsigned long>(O_RDONLY));
    EXPECT_NE(flags[0] & O_NONBLOCK, 0u);
    EXPECT_NE(flags[0] & O_CLOEXEC, 0u);
    const int other = open(product.DevNode().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);

    platform.Close(handle);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    close(other);
    EXPECT_TRUE(OpenFlagsOn(product.DevNode()).empty());
    const PassThroughResult after = SendProbe(platform, handle);
    EXPECT_FALSE(after.delivered);
    EXPECT_EQ(after.error, TransportError::InvalidHandle);
    platform.Close(handle);  // twice: nothing happens
    platform.Close(kInvalidDeviceHandle);
    EXPECT_EQ(product.SeenCount(), 1u);
}

TEST_F(ExclusiveOpenTest, HandlesAreDistinctAndReleasedWithThePlatform) {
    FakeUsbDisk product(system, ProtectIspIdentity(), backing);
    FakeUsbDisk other(system, ApplicationIdentity(), backing);
    {
        LinuxDevicePlatform platform;
        platform.ListDiskInterfaces();
        const DeviceHandle first = platform.OpenExclusive(product.Path());
        const DeviceHandle second = platform.OpenExclusive(other.Path());
        EXPECT_NE(first, kInvalidDeviceHandle);
        EXPECT_NE(second, kInvalidDeviceHandle);
        EXPECT_NE(first, second);
        // The disk is locked while open: a second open of it waits for nobody and fails.
        EXPECT_EQ(platform.OpenExclusive(product.Path()), kInvalidDeviceHandle);
        EXPECT_NE(platform.LastOpenError().find("(flock)"), std::string::npos)
            << platform.LastOpenError();
        // Handles are not fds: stdin, stdout and stderr are never reachable through them.
        for (DeviceHandle stray : {0, 1, 2}) {
            if (stray == first || stray == second) continue;
            EXPECT_EQ(SendProbe(platform, stray).error, TransportError::InvalidHandle);
        }
        EXPECT_EQ(OpenFlagsOn(product.DevNode()).size(), 1u);
    }
    EXPECT_TRUE(OpenFlagsOn(product.DevNode()).empty());
}

TEST_F(ExclusiveOpenTest, OnlyUsbDisksOfTheLastListingOpen) {
    const std::string plain = system.AddPlainDisk();
    FakeUsbDisk listed(system, ProtectIspIdentity(), backing);
    LinuxDevicePlatform platform;
    platform.ListDiskInterfaces();
    FakeUsbDisk unlisted(system, OtaIdentity(), backing);

    EXPECT_EQ(platform.OpenExclusive(Widen(plain)), kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenExclusive(unlisted.Path()), kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenExclusive(u"/dev/umock-sdzz"), kInvalidDeviceHandle);
    EXPECT_EQ(platform.OpenExclusive(u""), kInvalidDeviceHandle);
    EXPECT_NE(platform.OpenExclusive(listed.Path()), kInvalidDeviceHandle);
    platform.ListDiskInterfaces();
    EXPECT_NE(platform.OpenExclusive(unlisted.Path()), kInvalidDeviceHandle);
}

// The product was listed at a node, then left; what arrives at its node afterwards.
struct ReuseCase {
    const char* name;
    UsbIdentity newcomer;
    bool same_sysname_and_number;
    bool opens;
};

void PrintTo(const ReuseCase& reuse, std::ostream* out) {
    *out << reuse.name;
}

class NodeReuseTest : public ExclusiveOpenTest, public ::testing::WithParamInterface<ReuseCase> {};

TEST_P(NodeReuseTest, OpensOnlyTheDiskThatWasListed) {
    std::optional<FakeUsbDisk> product;
    product.emplace(system, ProtectIspIdentity(), backing);
    const FakeDiskName product_name = product->Name();
    LinuxDevicePlatform platform;
    platform.ListDiskInterfaces();
    product.reset();  // unplugged

    FakeUsbDiskOptions options;
    options.identity = GetParam().newcomer;
    options.name = system.NextDiskName();
    options.name->devnode = product_name.devnode;
    if (GetParam().same_sysname_and_number) options.name = product_name;
    FakeUsbDisk newcomer(system, options, backing);

    const DeviceHandle handle = platform.OpenExclusive(newcomer.Path());
    EXPECT_EQ(handle != kInvalidDeviceHandle, GetParam().opens);
    SendProbe(platform, handle);
    EXPECT_EQ(newcomer.SeenCount(), GetParam().opens ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, NodeReuseTest,
    ::testing::Values(
        ReuseCase{"OtherStickSameNameAndNumber", {"0781", "5567", "4C53"}, true, false},
        ReuseCase{"OtherStickOtherNumber", {"0781", "5567", "4C53"}, false, false},
        ReuseCase{"ProductInItsNextModeSameNameAndNumber", ApplicationIdentity(), true, false},
        ReuseCase{"ProductOtherNumber", ProtectIspIdentity(), false, false},
        ReuseCase{"ProductBackAsItWas", ProtectIspIdentity(), true, true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(ExclusiveOpenTest, ProductGoneMeansNoOpen) {
    FakeUsbDisk product(system, ProtectIspIdentity(), backing);
    LinuxDevicePlatform platform;
    platform.ListDiskInterfaces();
    product.Unplug();
    EXPECT_EQ(platform.OpenExclusive(product.Path()), kInvalidDeviceHandle);
}

TEST_F(ExclusiveOpenTest, ProductInItsNextModeOpensOnceListedAgain) {
    std::optional<FakeUsbDisk> product;
    product.emplace(system, ProtectIspIdentity(), backing);
    const FakeDiskName name = product->Name();
    LinuxDevicePlatform platform;
    platform.ListDiskInterfaces();
    product.reset();
    FakeUsbDiskOptions options;
    options.identity = ApplicationIdentity();
    options.name = name;
    product.emplace(system, options, backing);
    EXPECT_EQ(platform.OpenExclusive(product->Path()), kInvalidDeviceHandle);
    platform.ListDiskInterfaces();
    EXPECT_NE(platform.OpenExclusive(product->Path()), kInvalidDeviceHandle);
}

// The node itself no longer has the listed number (sysfs still says it has).
TEST_F(ExclusiveOpenTest, NodeWithAnotherNumberIsRefused) {
    FakeUsbDisk product(system, ProtectIspIdentity(), backing);
    LinuxDevicePlatform platform;
    platform.ListDiskInterfaces();
    // The fake stat takes a node's number from this link of the testbed.
    const std::string link = system.RootDir() + "/dev/.node/" + product.Name().sysname;
    ASSERT_EQ(unlink(link.c_str()), 0);
    ASSERT_EQ(symlink("8:240", link.c_str()), 0);
    EXPECT_EQ(platform.OpenExclusive(product.Path()), kInvalidDeviceHandle);
    ASSERT_EQ(unlink(link.c_str()), 0);
    ASSERT_EQ(
        symlink((std::to_string(product.Name().major) + ":" + std::to_string(product.Name().minor))
                    .c_str(),
                link.c_str()),
        0);
    EXPECT_NE(platform.OpenExclusive(product.Path()), kInvalidDeviceHandle);
}

}  // namespace
}  // namespace torvex::testing
