// The platform tests run only under umockdev-wrapper: outside it the back end would see the
// machine's real /sys and /dev. 77 tells CTest the run was skipped.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    UMockdevTestbed* probe = umockdev_testbed_new();
    const bool mocked = umockdev_in_mock_environment();
    g_object_unref(probe);
    if (!mocked) {
        std::fputs("skipped: run under umockdev-wrapper\n", stderr);
        return 77;
    }
    // The per-product locks of this run (and of the runners it starts) stay out of /run/torvex-isp.
    std::string locks = "/tmp/torvex-platform-locks-XXXXXX";
    if (mkdtemp(locks.data()) != nullptr) setenv("TORVEX_LOCK_DIR", locks.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
