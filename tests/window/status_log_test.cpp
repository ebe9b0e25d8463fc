// The status log keeps exactly the text the tool appended, shows it line by line and follows its
// end. What an append costs as the log grows is measured in bench/ (window_log_bench.cpp).
#include <gtest/gtest.h>

#include <QScrollBar>

#include "base/status_log.h"
#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

using testing::WindowFixture;

struct StatusLogTest : ::testing::Test, WindowFixture {
    StatusLog log{*dialog};
};

TEST_F(StatusLogTest, KeepsTheCallersTextExactly) {
    log.AppendStatusLine(u"first");
    log.AppendStatusLine(u"");
    log.AppendStatusLine(u"\r");
    log.AppendStatusLine(u"a\r\nb");
    log.AppendStatusLine(u"\uFEFFlead \u201CPASS\"  two");
    EXPECT_EQ(dialog->StatusLogText(),
              QString::fromUtf16(u"first\r\n\r\n\r\r\na\r\nb\r\n\uFEFFlead \u201CPASS\"  two\r\n"));
    // Shown one line per CR LF once the event loop runs; a CR on its own shows nothing.
    testing::Spin();
    EXPECT_EQ(controls().status_log->toPlainText(),
              QString::fromUtf16(u"first\n\n\na\nb\n\uFEFFlead \u201CPASS\"  two\n"));
}

TEST_F(StatusLogTest, ClearStartsTheTextAfresh) {
    log.AppendStatusLine(u"one");
    controls().clear->click();
    EXPECT_TRUE(dialog->StatusLogText().isEmpty());
    log.AppendStatusLine(u"two");
    EXPECT_EQ(dialog->StatusLogText(), QStringLiteral("two\r\n"));
    testing::Spin();
    EXPECT_EQ(controls().status_log->toPlainText(), QStringLiteral("two\n"));
}

TEST_F(StatusLogTest, FollowsTheEndAndKeepsTheHorizontalPosition) {
    dialog->show();
    QScrollBar* horizontal = controls().status_log->horizontalScrollBar();
    log.AppendStatusLine(std::u16string(400, u'x'));
    testing::Spin();
    horizontal->setValue(horizontal->maximum() / 2);
    const int horizontal_before = horizontal->value();
    for (int i = 0; i < 200; ++i) log.AppendStatusLine(u"line");
    testing::Spin();
    QScrollBar* vertical = controls().status_log->verticalScrollBar();
    EXPECT_GT(vertical->maximum(), 0);
    EXPECT_EQ(vertical->value(), vertical->maximum());
    EXPECT_EQ(horizontal->value(), horizontal_before);
}

TEST_F(StatusLogTest, SecondaryLogIsHiddenAndExact) {
    log.AppendSecondaryLine(u"DUT FW Updating...");
    log.AppendSecondaryLine(u"DUT FW Updating...");
    EXPECT_EQ(dialog->SecondaryLogText(),
              QStringLiteral("DUT FW Updating...\r\nDUT FW Updating...\r\n"));
    EXPECT_TRUE(dialog->StatusLogText().isEmpty());
    dialog->show();
    EXPECT_FALSE(controls().secondary_log->isVisible());
}

TEST_F(StatusLogTest, KeepsEveryLineOfALongLogWhileShown) {
    dialog->show();
    const std::u16string line = u"SN:00000000EF32000001  Check_OTA_Version_at_OTA";
    constexpr int kLines = 2000;
    for (int i = 1; i <= kLines; ++i) {
        log.AppendStatusLine(line);
        if (i % 100 == 0) testing::Spin();  // the view catches up as it does between ticks
    }
    testing::Spin();
    const QString shown_line = QString::fromStdU16String(line);
    EXPECT_EQ(dialog->StatusLogText(), (shown_line + QStringLiteral("\r\n")).repeated(kLines));
    EXPECT_EQ(controls().status_log->toPlainText(),
              (shown_line + QStringLiteral("\n")).repeated(kLines));
}

}  // namespace
}  // namespace torvex
