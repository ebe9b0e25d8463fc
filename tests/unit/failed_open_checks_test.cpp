// A product that cannot be opened (mounted, held by another program, gone) is no firmware
// verdict: each version check says why, sends nothing, leaves both classes Unchecked, and the
// next tick asks again.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/controller_state_update.h"
#include "firmware/ef32_version_checks.h"
#include "firmware/ef64_version_check.h"
#include "tests/support/core_fixture.h"

namespace torvex {
namespace {

using Lines = std::vector<std::string>;

struct CheckCase {
    const char* what;
    std::function<void(ToolContext&)> check;
    Lines lines_before;
};

void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.what;
}

class FailedOpen : public ::testing::TestWithParam<CheckCase> {};

TEST_P(FailedOpen, IsNoVerdictAndSendsNothing) {
    testing::CoreFixture tool;
    ControllerState& state = tool.state;
    state.DevicePath = u"/dev/sdb";
    state.DeviceVid = kVendorAppAndOta;
    state.FirmwareAccepted = 1;
    state.AutoRestart = 2;
    tool.platform.open_fails = true;
    tool.platform.open_error = "Device or resource busy (errno 16): /dev/sdb1 is mounted on /media";

    GetParam().check(tool.context);

    Lines expected = GetParam().lines_before;
    expected.push_back("Open USB device failed.");
    expected.push_back(
        "Reason: Device or resource busy (errno 16): /dev/sdb1 is mounted on /media");
    EXPECT_EQ(tool.window.Utf8Lines(), expected);
    EXPECT_TRUE(tool.platform.requests.empty());
    EXPECT_EQ(state.Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Unchecked);
    EXPECT_EQ(state.FirmwareAccepted, 1);
    EXPECT_EQ(state.AutoRestart, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, FailedOpen,
    ::testing::Values(
        CheckCase{"EF64 at application",
                  &Check_Application_Version_Combine,
                  {"Check_Application_Version_Combine -----------------------------------------"}},
        CheckCase{"EF32_0 at application",
                  &Check_OTA_Version_at_Application,
                  {"\r", "Check_OTA_Version_at_Application ------------------------------------"}},
        CheckCase{"EF32_0 at OTA",
                  &Check_OTA_Version_at_OTA,
                  {"Check_OTA_Version_at_OTA -------------------------------------------"}}));

// The disk at DevicePath opens, but it is no longer the product discovery found there: nothing
// is sent to it.
TEST(FailedOpen, ADiskThatIsNotTheFoundProductIsRefused) {
    testing::CoreFixture tool;
    tool.state.DevicePath = u"/dev/sdb";
    tool.state.ProductIdentity = u"USB\\VID_2175&PID_5001\\A";
    tool.platform.opened_identity = u"USB\\VID_0781&PID_5567\\STICK";
    Check_Application_Version_Combine(tool.context);
    EXPECT_TRUE(tool.platform.requests.empty());
    EXPECT_EQ(tool.platform.open_handles, 0);
    EXPECT_EQ(tool.window.Utf8Lines().back(),
              "Reason: the disk at /dev/sdb is now USB\\VID_0781&PID_5567\\STICK, not the product "
              "that was found (USB\\VID_2175&PID_5001\\A)");
}

}  // namespace
}  // namespace torvex
