// The status log adds exactly CR LF to the caller's text.
#include <gtest/gtest.h>

#include "base/status_log.h"
#include "base/text.h"
#include "tests/support/recording_window.h"

namespace torvex {
namespace {

TEST(StatusLog, LinesAreTheCallersTextAndCrLf) {
    testing::RecordingWindow window;
    StatusLog log(window);
    log.AppendStatusLine(u"first");
    log.AppendStatusLine(u"");
    log.AppendStatusLine(u"a\r\nb\rc");
    log.AppendSecondaryLine(u"DUT FW Updating...");
    EXPECT_EQ(window.status_log, u"first\r\n\r\na\r\nb\rc\r\n");
    EXPECT_EQ(window.secondary_log, u"DUT FW Updating...\r\n");
}

TEST(Text, FormatAndConversions) {
    EXPECT_EQ(FormatText("VID:%04X PID:%04X", 0x2175u, 0x81u), u"VID:2175 PID:0081");
    EXPECT_EQ(FormatText("%ldth * 64KB", 0L), u"0th * 64KB");
    const std::uint8_t bytes[] = {0x41, 0xE9, 0xFF};
    EXPECT_EQ(Widen(bytes), u"A\u00E9\u00FF");
    EXPECT_EQ(ToUtf8(u"\u201CPASS\" \u00E9"), "\xE2\x80\x9CPASS\" \xC3\xA9");
    EXPECT_EQ(ToUtf8(std::u16string(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace torvex
