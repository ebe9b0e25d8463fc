// The log view on its own, as the window and the station use it: the kept text, what it shows,
// selecting and copying, following the end, and what a screen reader gets. What a line costs as
// the log grows is measured in bench/ (window_log_bench.cpp).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "app/qt/status_log_view.h"
#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

using qt::StatusLogView;

QString S(const char16_t* text) {
    return QString::fromUtf16(text);
}

QString Lines(int first, int last) {
    QString text;
    for (int i = first; i <= last; ++i) text += QStringLiteral("line %1\r\n").arg(i);
    return text;
}

TEST(StatusLogView, KeepsTheTextAndShowsOneLinePerLineFeed) {
    struct Case {
        std::vector<QString> appends;
        QString shown;
        int lines;
    };
    const std::vector<Case> cases = {
        {{S(u"a\r\nb\r\n")}, S(u"a\nb\n"), 3},
        {{S(u"a\r"), S(u"\nb")}, S(u"a\nb"), 2},                    // CR LF split over two appends
        {{S(u"x\ry\r\n"), S(u"\r"), S(u"\r\n")}, S(u"xy\n\n"), 3},  // lone CRs show as nothing
        {{S(u"\u00e9\u4e2d\U0001F600\r\n"), S(u"z")}, S(u"\u00e9\u4e2d\U0001F600\nz"), 2},
        {{}, S(u""), 1},
    };
    for (const Case& c : cases) {
        StatusLogView view;
        QString kept;
        for (const QString& text : c.appends) {
            view.Append(text);
            kept += text;
            testing::Spin();  // each append shown on its own, as ticks would do
        }
        SCOPED_TRACE(c.shown.toStdString());
        EXPECT_EQ(view.Text(), kept);
        EXPECT_EQ(view.toPlainText(), c.shown);
        EXPECT_EQ(view.LineCount(), c.lines);
        // A new font measures the lines again without changing what they are.
        view.setFont(QFont(QStringLiteral("Monospace"), 14));
        EXPECT_EQ(view.toPlainText(), c.shown);
    }
}

TEST(StatusLogView, SelectsWithTheMouseAndCopiesTheSelectedLines) {
    StatusLogView view;
    view.resize(400, 200);
    view.show();
    view.Append(Lines(1, 3));
    testing::Spin();
    QWidget* viewport = view.viewport();
    // From the start of "line 2" to after "li" of "line 3".
    const qsizetype from = view.LineStartOffset(1);
    const qsizetype to = view.LineStartOffset(2) + 2;
    QTest::mousePress(viewport, Qt::LeftButton, {}, view.OffsetRect(from).center() - QPoint(2, 0));
    QTest::mouseMove(viewport, view.OffsetRect(to).topLeft() + QPoint(1, 2));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, view.OffsetRect(to).topLeft() + QPoint(1, 2));
    EXPECT_EQ(view.SelectedText(), QStringLiteral("line 2\nli"));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("line 2\nli"));

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("line 1\nline 2\nline 3\n"));
}

TEST(StatusLogView, FollowsTheEndUnlessScrolledUp) {
    StatusLogView view;
    view.resize(300, 120);
    view.show();
    QScrollBar* vertical = view.verticalScrollBar();
    view.Append(Lines(1, 100));
    testing::Spin();
    EXPECT_GT(vertical->maximum(), 0);
    EXPECT_EQ(vertical->value(), vertical->maximum());

    QTest::keyClick(&view, Qt::Key_PageUp);
    const int read_at = vertical->value();
    EXPECT_LT(read_at, vertical->maximum());
    view.Append(Lines(101, 150));
    testing::Spin();
    EXPECT_EQ(vertical->value(), read_at);  // the lines being read stay in place
    EXPECT_FALSE(view.FollowsEnd());

    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    view.Append(Lines(151, 160));
    testing::Spin();
    EXPECT_EQ(vertical->value(), vertical->maximum());
    EXPECT_TRUE(view.FollowsEnd());

    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(vertical->value(), 0);
    view.ClearLog();
    EXPECT_TRUE(view.toPlainText().isEmpty());
    EXPECT_EQ(vertical->maximum(), 0);
}

// What is on screen after lines scrolled in batch by batch (the drawn lines moved, only the new
// ones painted) is what a full repaint draws.
TEST(StatusLogView, ScrolledInLinesLookAsIfDrawnAfresh) {
    StatusLogView view;
    view.resize(300, 120);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    for (int batch = 0; batch < 12; ++batch) {
        view.Append(Lines(batch * 3, batch * 3 + batch % 4));
        view.Append(QStringLiteral("open "));  // a line that grows in the next batch
        testing::Spin();
    }
    const QImage on_screen = view.screen()->grabWindow(view.winId()).toImage();
    const QImage afresh = view.grab().toImage();
    EXPECT_EQ(on_screen.convertToFormat(QImage::Format_RGB32),
              afresh.convertToFormat(QImage::Format_RGB32));
}

TEST(StatusLogView, ScreenReadersGetTheTextItsLinesAndTheSelection) {
    StatusLogView view;
    view.Append(S(u"first\r\nsec\rond\r\nlast"));
    testing::Spin();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    QAccessibleTextInterface* text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(accessible->state().readOnly);
    EXPECT_EQ(text->characterCount(), 17);
    EXPECT_EQ(text->text(0, text->characterCount()), S(u"first\nsecond\nlast"));

    struct Case {
        int offset;
        QString at, before, after;
        int start, end;
    };
    const std::vector<Case> cases = {
        {0, S(u"first\n"), S(u""), S(u"second\n"), 0, 6},
        {8, S(u"second\n"), S(u"first\n"), S(u"last"), 6, 13},
        {16, S(u"last"), S(u"second\n"), S(u""), 13, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        int start = 0;
        int end = 0;
        EXPECT_EQ(text->textAtOffset(c.offset, QAccessible::LineBoundary, &start, &end), c.at);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(text->textBeforeOffset(c.offset, QAccessible::LineBoundary, &start, &end),
                  c.before);
        EXPECT_EQ(text->textAfterOffset(c.offset, QAccessible::LineBoundary, &start, &end),
                  c.after);
    }

    text->setSelection(0, 6, 9);
    EXPECT_EQ(view.SelectedText(), QStringLiteral("sec"));
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(6, 9));
}

}  // namespace
}  // namespace torvex
