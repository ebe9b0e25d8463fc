// Recording what the lower layers found: a finding replaces only what it knows, and what it does
// not know stays as the previous product or check left it.
#include <gtest/gtest.h>

#include "app/controller_state_update.h"

namespace torvex {
namespace {

// The state a first product left behind: opened in application code, named and grouped.
ControllerState AfterAFirstProduct() {
    ControllerState state;
    state.DevicePath = u"\\\\?\\first";
    state.ProductIdentity = u"USB\\VID_2175&PID_5001\\FIRST";
    state.RunMode = kRunModeAppOrOta;
    state.DeviceVid = kVendorAppAndOta;
    state.DeviceFound = 1;
    state.AppCodeRunning = 1;
    state.MaskPollTicks = 4;
    state.DutNameMatch = 1;
    state.FirmwareGroup = ImageGroup::Group2;
    state.AutoRestart = 2;
    state.FirmwareAccepted = 1;
    state.Ef64VersionClass = Ef64Class::Old;
    state.Ef32VersionClass = Ef32Class::Current;
    return state;
}

TEST(ControllerStateUpdate, DiscoveryKeepsThePreviousProductUnlessItOpenedAnother) {
    struct Case {
        const char* what;
        DiscoveryResult result;
        bool product_replaced;
    };
    DiscoveryResult unlisted;
    DiscoveryResult nothing_opened;
    nothing_opened.listed = true;
    DiscoveryResult opened_mask = nothing_opened;
    opened_mask.run_mode = kRunModeMaskCode;
    opened_mask.vid = kVendorBootAndIsp;
    opened_mask.opened = OpenedProduct{u"\\\\?\\second", u"USB\\VID_0A81&PID_0320\\SECOND"};
    for (const Case& c : {Case{"listing failed", unlisted, false},
                          Case{"a product seen but not opened", nothing_opened, false},
                          Case{"another product opened", opened_mask, true}}) {
        SCOPED_TRACE(c.what);
        ControllerState state = AfterAFirstProduct();
        ApplyDiscovery(state, c.result);
        EXPECT_EQ(state.RunMode, c.result.run_mode);
        EXPECT_EQ(state.DeviceVid, c.result.vid);
        EXPECT_EQ(state.DeviceFound, c.result.listed ? 0u : 1u);
        EXPECT_EQ(state.MaskPollTicks, c.result.listed ? 0 : 4);
        EXPECT_EQ(state.DevicePath, c.product_replaced ? u"\\\\?\\second" : u"\\\\?\\first");
        EXPECT_EQ(state.ProductIdentity.substr(state.ProductIdentity.size() - 5),
                  c.product_replaced ? u"ECOND" : u"FIRST");
        // A new product's name and group are unknown until its checks run.
        EXPECT_EQ(state.DutNameMatch, c.product_replaced ? 0 : 1);
        EXPECT_EQ(state.FirmwareGroup,
                  c.product_replaced ? ImageGroup::Unchecked : ImageGroup::Group2);
        // Discovery never touches the classes or the acceptance.
        EXPECT_EQ(state.Ef64VersionClass, Ef64Class::Old);
        EXPECT_EQ(state.FirmwareAccepted, 1);
    }
}

TEST(ControllerStateUpdate, AVerdictSetsOnlyWhatTheCheckDecided) {
    ControllerState state = AfterAFirstProduct();
    ApplyCheckVerdict(state, CheckVerdict{});  // a check that could not open the product
    EXPECT_EQ(state.Ef64VersionClass, Ef64Class::Old);
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Current);
    EXPECT_EQ(state.DutNameMatch, 1);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Group2);
    EXPECT_EQ(state.AutoRestart, 0);  // every check drops an armed restart

    CheckVerdict rejected;
    rejected.image_rejected = true;
    ApplyCheckVerdict(state, rejected);
    EXPECT_EQ(state.FirmwareAccepted, 0);
    EXPECT_EQ(state.Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Unchecked);
    EXPECT_EQ(state.DutNameMatch, 1);

    CheckVerdict decided;
    decided.ef32 = Ef32Class::Old;
    decided.name_matched = false;
    decided.group = ImageGroup::Group1;
    ApplyCheckVerdict(state, decided);
    EXPECT_EQ(state.Ef32VersionClass, Ef32Class::Old);
    EXPECT_EQ(state.Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(state.DutNameMatch, 0);
    EXPECT_EQ(state.FirmwareGroup, ImageGroup::Group1);
}

}  // namespace
}  // namespace torvex
