// The status log keeps exactly the text the tool appended, shows it line by line, follows its
// end, and appends at the same cost however long it has grown.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QScrollBar>
#include <algorithm>
#include <iostream>

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

// Appends `count` typical lines, letting the event loop run (and the view catch up) every 100.
void AppendLines(StatusLog& log, int count) {
    const std::u16string line = u"SN:00000000EF32000001  Check_OTA_Version_at_OTA";
    for (int i = 1; i <= count; ++i) {
        log.AppendStatusLine(line);
        if (i % 100 == 0) testing::Spin();
    }
}

// Microseconds per append, showing included, once the log holds `lines` lines: the best of five
// rounds of `samples` / 5 appends (the machine is shared; the best round is the least disturbed).
double MicrosecondsPerAppend(StatusLog& log, int lines, int samples) {
    AppendLines(log, lines);
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer clock;
        clock.start();
        AppendLines(log, samples / 5);
        best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1000.0 / (samples / 5));
    }
    return best;
}

TEST(StatusLogCost, AppendCostDoesNotGrowWithTheLog) {
    constexpr int kSamples = 2000;
    double per_append[2] = {};
    const int sizes[2] = {1000, 100000};
    for (int i = 0; i < 2; ++i) {
        WindowFixture fixture;  // full window: the log is visible and repaints
        fixture.dialog->show();
        StatusLog log(*fixture.dialog);
        per_append[i] = MicrosecondsPerAppend(log, sizes[i], kSamples);
        testing::Spin();
        EXPECT_EQ(fixture.dialog->StatusLogText().size(),
                  static_cast<qsizetype>((sizes[i] + kSamples) * 49));
    }
    std::cout << "status log append: " << per_append[0] << " us/line at 1,000 lines, "
              << per_append[1] << " us/line at 100,000 lines\n";
    ::testing::Test::RecordProperty("append_us_at_1000", std::to_string(per_append[0]));
    ::testing::Test::RecordProperty("append_us_at_100000", std::to_string(per_append[1]));
    // Rewriting the whole text on each append would cost about a hundred times more here.
    EXPECT_LT(per_append[1], 5 * per_append[0] + 50);
}

}  // namespace
}  // namespace torvex
