// Rights: whether the process may send vendor opcodes, and the advice the operator sees once.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "device/linux/linux_device_platform.h"
#include "device/linux/raw_scsi_access.h"
#include "tests/platform/mock_system.h"

namespace torvex::testing {
namespace {

using linux_backend::kRawScsiAccessAdvice;
using linux_backend::LinuxDevicePlatform;
using linux_backend::ProcessHasRawScsiAccess;

// In a child: drops CAP_SYS_RAWIO from the effective set, then raises it again from the
// permitted set; the exit code says whether the check followed both times.
int CheckFollowsEffectiveSet() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return 2;
    data[0].effective &= ~CAP_TO_MASK(CAP_SYS_RAWIO);
    if (syscall(SYS_capset, &header, data) != 0) return 3;
    if (ProcessHasRawScsiAccess()) return 4;
    data[0].effective |= CAP_TO_MASK(CAP_SYS_RAWIO);
    if (syscall(SYS_capset, &header, data) != 0) return 5;
    return ProcessHasRawScsiAccess() ? 0 : 6;
}

TEST(RawScsiAccess, FollowsTheEffectiveCapability) {
    if (!ProcessHasRawScsiAccess()) GTEST_SKIP() << "needs CAP_SYS_RAWIO to drop it";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(CheckFollowsEffectiveSet());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RawScsiAccess, AdviceComesOnceWhenTheRightIsMissing) {
    MockSystem system;
    LinuxDevicePlatform platform([] { return false; });
    EXPECT_EQ(platform.TakeRawAccessAdvice(), kRawScsiAccessAdvice);
    EXPECT_TRUE(platform.TakeRawAccessAdvice().empty());
    EXPECT_EQ(std::u16string(kRawScsiAccessAdvice),
              u"This tool cannot send commands to the product: it lacks raw SCSI access "
              u"(CAP_SYS_RAWIO) and cannot reach torvex-isp-helper on the system bus. Install "
              u"torvex-isp-helper, or run the tool as root.");
}

TEST(RawScsiAccess, NoAdviceWhileTheRightIsThereAndNothingWasRefused) {
    MockSystem system;
    LinuxDevicePlatform platform([] { return true; });
    EXPECT_TRUE(platform.TakeRawAccessAdvice().empty());
    EXPECT_TRUE(platform.TakeRawAccessAdvice().empty());
    EXPECT_FALSE(platform.AccessRefused());
}

}  // namespace
}  // namespace torvex::testing
