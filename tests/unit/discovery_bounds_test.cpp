// Discovery on identities and paths that do not fit: nothing is read or written past its bound.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/controller_state_update.h"
#include "base/text.h"
#include "device/usb_found.h"
#include "tests/support/case_printing.h"
#include "tests/support/core_fixture.h"
#include "tests/support/scripted_platform.h"

namespace torvex {
namespace {

using testing::PrintTo;

using Lines = std::vector<std::string>;

DiskInterface StorageDisk(std::u16string parent_id, std::u16string path = u"/dev/sdb") {
    return {u"USBSTOR\\Disk", std::move(parent_id), std::move(path)};
}

struct DiscoveryBounds : ::testing::Test {
    testing::CoreFixture tool;
    std::uint16_t Run(std::vector<DiskInterface> disks) {
        tool.platform.listing.disks = std::move(disks);
        return USBFound(tool.context);
    }
};

struct SkippedIdCase {
    const char* what;
    std::u16string parent_id;
};

class DiscoverySkippedId : public DiscoveryBounds,
                           public ::testing::WithParamInterface<SkippedIdCase> {};

// Ids that cannot be read as "USB\VID_vvvv&PID_pppp\serial" are passed over without a line.
TEST_P(DiscoverySkippedId, IsPassedOverWithoutALine) {
    SCOPED_TRACE(GetParam().what);
    EXPECT_EQ(Run({StorageDisk(GetParam().parent_id)}), kRunModeNoDevice);
    EXPECT_EQ(tool.window.Utf8Lines(), Lines{"USB device not found!"});
    EXPECT_TRUE(tool.platform.opened_paths.empty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DiscoverySkippedId, ::testing::Values(
    SkippedIdCase{"no VID_", u"USB\\PID_5001\\SERIAL"},
    SkippedIdCase{"no PID_", u"USB\\VID_2175\\SERIAL"},
    SkippedIdCase{"empty", u""},
    SkippedIdCase{"ends inside the vendor digits", u"USB\\VID_217"},
    SkippedIdCase{"ends inside the product digits", u"USB\\VID_2175&PID_500"},
    SkippedIdCase{"zero unit before the product digits end",
                  std::u16string(u"USB\\VID_2175&PID_50\0" u"01\\S", 24)}));
// clang-format on

TEST_F(DiscoveryBounds, IdEndingAfterTheProductDigitsHasAnEmptySerial) {
    EXPECT_EQ(Run({StorageDisk(u"USB\\VID_2175&PID_5001")}), kRunModeAppOrOta);
    const Lines lines = tool.window.Utf8Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "SN:");
    EXPECT_EQ(lines.back(), "USB device found!");
    EXPECT_EQ(tool.context.state.AppCodeRunning, 1u);
}

TEST_F(DiscoveryBounds, OverlongSerialIsShortenedInItsLineOnly) {
    const std::u16string serial = u"00000000EF32" + std::u16string(200, u'7');
    EXPECT_EQ(Run({StorageDisk(u"USB\\VID_2175&PID_5001\\" + serial)}), kRunModeAppOrOta);
    const auto lines = tool.window.Lines();
    ASSERT_GE(lines.size(), 2u);
    // The line and its terminator fit 80 units.
    EXPECT_EQ(lines[1], u"SN:" + serial.substr(0, 76));
    EXPECT_EQ(tool.context.state.AppCodeRunning, 0u);  // still OTA code
}

TEST_F(DiscoveryBounds, SerialThatJustFitsIsShownWhole) {
    const std::u16string serial(76, u'Z');
    Run({StorageDisk(u"USB\\VID_2175&PID_5001\\" + serial)});
    ASSERT_GE(tool.window.Lines().size(), 2u);
    EXPECT_EQ(tool.window.Lines()[1], u"SN:" + serial);
}

TEST_F(DiscoveryBounds, PathThatFillsDevicePathIsOpened) {
    const std::u16string path(kDevicePathMaxUnits, u'p');
    EXPECT_EQ(Run({StorageDisk(u"USB\\VID_0A81&PID_0321\\S", path)}), kRunModeProtectIsp);
    EXPECT_EQ(tool.context.state.DevicePath, path);
}

TEST_F(DiscoveryBounds, OverlongPathIsNeitherShortenedNorOpened) {
    tool.context.state.DevicePath = u"/dev/before";
    const std::u16string path(kDevicePathMaxUnits + 1, u'p');
    EXPECT_EQ(Run({StorageDisk(u"USB\\VID_0A81&PID_0321\\S", path)}), kRunModeNoDevice);
    EXPECT_EQ(
        tool.window.Utf8Lines(),
        (Lines{"VID:0A81 PID:0321", "SN:S", "Open U-KDISK USB device failed.",
               "Reason: the path is longer than the tool can hold", "USB device not found!"}));
    EXPECT_TRUE(tool.platform.opened_paths.empty());
    EXPECT_EQ(tool.context.state.DevicePath, u"/dev/before");
}

TEST_F(DiscoveryBounds, ParentIdIsReadOnlyAsFarAsItsBuffer) {
    // "PID_" lies beyond the 320 units an instance id can have: the id reads as one without it.
    const std::u16string id = u"USB\\VID_2175&" + std::u16string(400, u'x') + u"PID_5001\\S";
    EXPECT_EQ(Run({StorageDisk(id)}), kRunModeNoDevice);
    EXPECT_TRUE(tool.platform.opened_paths.empty());
}

TEST_F(DiscoveryBounds, DeviceTextIsNeverAFormatNorAControlSequence) {
    Run({StorageDisk(u"USB\\VID_2175&PID_5001\\%s%n%x%%"),
         StorageDisk(u"USB\\VID_2175&PID_5001\\A\x1b[2JB\rC\x7f\u00e9")});
    const Lines lines = tool.window.Utf8Lines();
    EXPECT_EQ(lines[1], "SN:%s%n%x%%");
    EXPECT_EQ(lines[6],
              "SN:A\xEF\xBF\xBD[2JB\xEF\xBF\xBD"
              "C\xEF\xBF\xBD\xC3\xA9");
}

}  // namespace
}  // namespace torvex
