// The update plan: what it says for each product, and that Update F/W writes exactly the banks it
// names (so --list, which prints the plan, cannot tell a different story from the click).
#include <gtest/gtest.h>

#include <algorithm>

#include "app/update_controller.h"
#include "app/update_plan.h"
#include "tests/support/core_fixture.h"

namespace torvex {
namespace {

using testing::CoreFixture;

struct PlanCase {
    const char* what;
    std::uint16_t run_mode;
    std::uint16_t vid;
    std::uint32_t app_code;
    std::uint8_t name_match;
    MaskCode mask;
    Ef64Class ef64;
    Ef32Class ef32;
    // Expected.
    bool ef32_written;
    bool ef64_written;
    bool ef64_later;  // EF64 follows after the product restarts in OTA code
    std::string text;
};

const PlanCase kCases[] = {
    {"mask code 0210", kRunModeMaskCode, kVendorBootAndIsp, 0, 1, MaskCode::Mask0210,
     Ef64Class::Unchecked, Ef32Class::Unchecked, true, true, false, "EF32_0 and EF64 in one run"},
    {"mask code 0110", kRunModeMaskCode, kVendorBootAndIsp, 0, 1, MaskCode::Mask0110,
     Ef64Class::Unchecked, Ef32Class::Unchecked, false, false, false,
     "none: mask code 0110 is not supported"},
    {"OTA code", kRunModeAppOrOta, kVendorAppAndOta, 0, 1, MaskCode::Mask0110, Ef64Class::Unchecked,
     Ef32Class::Old, false, true, false, "EF64 in one run"},
    {"protected ISP code", kRunModeProtectIsp, kVendorBootAndIsp, 0, 0, MaskCode::Mask0110,
     Ef64Class::Unchecked, Ef32Class::Unchecked, false, true, false, "EF64 in one run"},
    {"antique EF64", kRunModeAppOrOta, kVendorAppAndOta, 1, 1, MaskCode::Mask0110,
     Ef64Class::Antique, Ef32Class::Old, false, false, true,
     "sent to OTA code, then EF64 (EF64 firmware too old to answer)"},
    {"old EF64", kRunModeAppOrOta, kVendorAppAndOta, 1, 1, MaskCode::Mask0110, Ef64Class::Old,
     Ef32Class::Current, true, false, true,
     "EF32_0, then EF64 after the product restarts in OTA code"},
    // The controller writes no EF32_0 whose class is unknown, so nothing restarts.
    {"old EF64, EF32_0 unread", kRunModeAppOrOta, kVendorAppAndOta, 1, 1, MaskCode::Mask0110,
     Ef64Class::Old, Ef32Class::Unchecked, false, false, false,
     "unknown: the EF32_0 firmware could not be read"},
    // The controller writes EF32_0 when only the EF64 firmware could not be read.
    {"EF64 unread, EF32_0 known", kRunModeAppOrOta, kVendorAppAndOta, 1, 1, MaskCode::Mask0110,
     Ef64Class::Unchecked, Ef32Class::NoCode, true, false, false,
     "EF32_0 only: the EF64 firmware could not be read"},
    {"both unread", kRunModeAppOrOta, kVendorAppAndOta, 1, 1, MaskCode::Mask0110,
     Ef64Class::Unchecked, Ef32Class::Unchecked, false, false, false,
     "unknown: the EF64 firmware could not be read"},
    {"current EF64", kRunModeAppOrOta, kVendorAppAndOta, 1, 1, MaskCode::Mask0110,
     Ef64Class::Current, Ef32Class::Old, false, false, false, "none: already updated"},
    {"name not accepted", kRunModeAppOrOta, kVendorAppAndOta, 1, 0, MaskCode::Mask0110,
     Ef64Class::Old, Ef32Class::Old, false, false, false, "none: not supported (Other Code)"},
};

// One product as the controller state describes it, on a scripted platform that answers GOOD.
struct PlanRun : CoreFixture {
    explicit PlanRun(const PlanCase& c) { Product(c); }
    void Product(const PlanCase& c) {
        state.DevicePath = u"/dev/product";
        state.RunMode = c.run_mode;
        state.DeviceVid = c.vid;
        state.AppCodeRunning = c.app_code;
        state.DutNameMatch = c.name_match;
        state.MaskVariant = c.mask;
        state.Ef64VersionClass = c.ef64;
        state.Ef32VersionClass = c.ef32;
        state.DeviceFound = 1;
        state.FirmwareAccepted = 1;
    }
    bool Sent(std::uint8_t opcode, std::uint8_t byte2 = 0) const {
        return std::any_of(platform.requests.begin(), platform.requests.end(), [&](const auto& r) {
            return r.cdb.size() > 2 && r.cdb[1] == opcode && (byte2 == 0 || r.cdb[2] == byte2);
        });
    }
};

TEST(UpdatePlan, UpdateWritesWhatThePlanSays) {
    for (const PlanCase& c : kCases) {
        SCOPED_TRACE(c.what);
        PlanRun run(c);
        const UpdatePlan plan = PlanUpdate(run.state);
        EXPECT_EQ(DescribePlan(plan), c.text);
        EXPECT_EQ(plan.ef32, c.ef32_written);
        EXPECT_EQ(plan.ef64, c.ef64_written);
        EXPECT_EQ(plan.ef64_later, c.ef64_later);
        OnUpdateFw(run.context);
        EXPECT_EQ(run.Sent(ISP_CMD_PROGRAM_EF32_0_MAIN), c.ef32_written);
        EXPECT_EQ(run.Sent(ISP_CMD_ERASE_EF64_MAIN), c.ef64_written);
        EXPECT_EQ(run.Sent(ISP_CMD_INFO_GROUP, ISP_CMD_EXECUTE), c.ef64_later && !c.ef32_written);
        // A plan that restarts the product in OTA code leaves the resumption armed.
        if (c.ef64_later) {
            EXPECT_EQ(run.state.RestartPending, 1);
        }
    }
}

// Two reasons keep the button disabled, so that no click comes: --list says so, while a click
// that comes anyway still runs the plan.
TEST(UpdatePlan, HeldBackWhenNoAnswerOrTheImageIsRejected) {
    PlanRun mask(kCases[0]);
    mask.state.DeviceFound = 0;
    EXPECT_EQ(DescribePlan(PlanUpdate(mask.state)), "unknown: no answer to the boot-code query");
    PlanRun old(kCases[5]);
    old.state.FirmwareAccepted = 0;
    const UpdatePlan plan = PlanUpdate(old.state);
    EXPECT_EQ(DescribePlan(plan), "none: the carried EF64 image is rejected");
    EXPECT_EQ(plan.path, UpdatePath::ApplicationOld);
    EXPECT_TRUE(plan.ef32);
}

// The group and the opcode set: Group_2 images, and the protected ISP code's own main-memory
// opcode, are used only where the plan says.
TEST(UpdatePlan, GroupDialectAndRefusal) {
    ControllerState state;
    state.RunMode = kRunModeProtectIsp;
    state.FirmwareGroup = ImageGroup::Group2;
    UpdatePlan plan = PlanUpdate(state);
    EXPECT_EQ(plan.group, ImageGroup::Group2);
    EXPECT_EQ(plan.dialect, &ProtectIspDialect);
    state.RunMode = kRunModeMaskCode;
    state.MaskVariant = MaskCode::Mask0210;
    state.FirmwareGroup = ImageGroup::Unchecked;
    plan = PlanUpdate(state);
    EXPECT_EQ(plan.group, ImageGroup::Group1);
    EXPECT_EQ(plan.dialect, &MaskOtaDialect);
    state.WriteRefusal = u"refused";
    plan = PlanUpdate(state);
    EXPECT_EQ(plan.path, UpdatePath::Refused);
    EXPECT_FALSE(plan.ef32 || plan.ef64 || plan.ef64_later);
}

}  // namespace
}  // namespace torvex
