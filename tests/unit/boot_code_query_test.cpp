// Boot-code query: a product in mask code says whether it runs 0110 or 0210.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/controller_state_update.h"
#include "device/boot_code_query.h"
#include "tests/support/case_printing.h"
#include "tests/support/core_fixture.h"
#include "tests/support/scripted_platform.h"

namespace torvex {
namespace {

using testing::PrintTo;

using Lines = std::vector<std::string>;
using testing::ScriptedPlatform;

const PassThroughResult kOk = ScriptedPlatform::Delivered();
const PassThroughResult kFail = ScriptedPlatform::Failed();

struct BootCodeCase {
    const char* what;
    bool open_fails;
    std::vector<PassThroughResult> answers;
    MaskCode mask_variant_before;
    Lines lines;
    std::size_t requests;
    std::uint32_t device_found;
    MaskCode mask_variant;
    std::uint8_t dut_name_match;
};

class BootCodeQuery : public ::testing::TestWithParam<BootCodeCase> {
  protected:
    testing::CoreFixture tool;
};

TEST_P(BootCodeQuery, ReportsTheVariantAndCountsTheProductFoundWhenItAnswers) {
    const BootCodeCase& c = GetParam();
    SCOPED_TRACE(c.what);
    ControllerState& state = tool.state;
    state.DevicePath = u"/dev/sdm";
    state.RunMode = kRunModeMaskCode;
    state.DeviceVid = kVendorBootAndIsp;
    state.DeviceFound = c.device_found == 0 ? 1 : 0;
    state.MaskVariant = c.mask_variant_before;
    state.DutNameMatch = 0;
    tool.platform.open_fails = c.open_fails;
    tool.platform.script.assign(c.answers.begin(), c.answers.end());

    QueryBootCode(tool.context);

    EXPECT_EQ(tool.window.Utf8Lines(), c.lines);
    EXPECT_EQ(tool.platform.requests.size(), c.requests);
    EXPECT_EQ(state.DeviceFound, c.device_found);
    EXPECT_EQ(state.MaskVariant, c.mask_variant);
    EXPECT_EQ(state.DutNameMatch, c.dut_name_match);
    EXPECT_EQ(state.RunMode, kRunModeMaskCode);
    EXPECT_EQ(state.DeviceVid, kVendorBootAndIsp);
    EXPECT_EQ(tool.platform.opened_paths, std::vector<std::u16string>{u"/dev/sdm"});
    EXPECT_EQ(tool.platform.open_handles, 0);
}

const char* kTransportFail = "SendSCSICommand FAIL : >0x0<";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BootCodeQuery, ::testing::Values(
    BootCodeCase{"mask code 0210", false, {kOk, kOk}, MaskCode::Mask0110,
                 {"Run Code at Mask Code 0210"}, 2, 1, MaskCode::Mask0210, 1},
    BootCodeCase{"mask code 0110 refuses the key slot", false, {kOk, kFail, kFail, kFail},
                 MaskCode::Mask0210,
                 {kTransportFail, kTransportFail, kTransportFail, "Run Code at Mask Code 0110"},
                 4, 1, MaskCode::Mask0110, 1},
    BootCodeCase{"probe fails", false, {kFail, kFail, kFail}, MaskCode::Mask0210,
                 {kTransportFail, kTransportFail, kTransportFail, "Command Fail"},
                 3, 0, MaskCode::Mask0210, 0},
    BootCodeCase{"probe answers on the second attempt", false, {kFail, kOk, kOk}, MaskCode::Mask0110,
                 {kTransportFail, "Run Code at Mask Code 0210"}, 3, 1, MaskCode::Mask0210, 1},
    BootCodeCase{"open fails", true, {}, MaskCode::Mask0210,
                 {"Open USB device failed.", "Reason: Device or resource busy (errno 16)",
                  kTransportFail, kTransportFail, kTransportFail, "Command Fail"}, 3, 0,
                 MaskCode::Mask0210, 0}));
// clang-format on

TEST(BootCodeQueryWire, ProbeThenKeySlotZeroIntoTheSharedBuffer) {
    testing::CoreFixture tool;
    tool.state.DevicePath = u"/dev/sdm";
    QueryBootCode(tool.context);
    const auto& requests = tool.platform.requests;
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].cdb, testing::CommandBytes({0x44}));
    EXPECT_EQ(requests[0].direction, DataDirection::In);
    EXPECT_EQ(requests[0].length, 128u);
    EXPECT_EQ(requests[0].data_in, tool.shared_buffer.data());
    EXPECT_EQ(requests[1].cdb, testing::CommandBytes({0x62, 0x00}));
    EXPECT_EQ(requests[1].direction, DataDirection::In);
    EXPECT_EQ(requests[1].length, 0u);
    EXPECT_EQ(requests[1].data_in, tool.shared_buffer.data());
}

}  // namespace
}  // namespace torvex
