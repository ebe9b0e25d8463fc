// Template 102 as the operator first sees it, before start-up cuts the window down: every control
// at its id, text, place and state.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

#include "app/qt/dialog_units.h"
#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

using testing::WindowFixture;

TEST(DialogUnits, ConvertAsTheDialogFontDoes) {
    // 6 x 13 base units, rounded half away from zero, rectangles by their corners.
    EXPECT_EQ(qt::DialogRectToPixels({7, 8, 288, 71}), QRect(11, 13, 432, 115));
    EXPECT_EQ(qt::DialogRectToPixels({7, 85, 377, 14}), QRect(11, 138, 565, 23));
    EXPECT_EQ(qt::DialogRectToPixels({301, 8, 83, 71}), QRect(452, 13, 124, 115));
    EXPECT_EQ(qt::DialogSizeToPixels(391, 326), QSize(587, 530));
    EXPECT_EQ(qt::DialogSizeToPixels(170, 62), QSize(255, 101));
}

struct ExpectedControl {
    int id;
    const char* kind;
    QString text;
    QRect pixels;
    bool visible;
    bool enabled;
};

// Worked out by hand from the template's dialog units.
const ExpectedControl kExpected[] = {
    {1011, "torvex::qt::StatusPictureButton", "Button6", {11, 13, 432, 115}, true, true},
    {1005, "QPushButton", "Update F/W", {452, 13, 124, 115}, true, true},
    {1017, "QProgressBar", "", {11, 138, 565, 23}, true, true},
    {1018, "QLineEdit", "", {11, 167, 139, 23}, false, true},
    {1000, "QLineEdit", "", {63, 205, 417, 23}, true, true},
    {1001, "QPushButton", "Browse", {503, 205, 75, 23}, true, true},
    {1002, "QLineEdit", "", {63, 234, 417, 23}, false, false},
    {1003, "QPushButton", "Browse", {501, 234, 75, 23}, false, false},
    {1004, "torvex::qt::StatusLogView", "", {11, 265, 400, 250}, true, true},
    {1009, "QPushButton", "TEST", {504, 280, 75, 22}, true, true},
    {1016, "QPushButton", "Clear", {504, 314, 75, 22}, true, true},
    {1006, "QPushButton", "Update GUI", {464, 348, 112, 39}, false, false},
};

QString TextOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    return {};
}

TEST(Template102, EveryControlAtItsIdTextPlaceAndState) {
    WindowFixture fixture;
    fixture.dialog->show();
    for (const ExpectedControl& expected : kExpected) {
        SCOPED_TRACE(expected.id);
        auto* widget =
            fixture.dialog->findChild<QWidget*>(QStringLiteral("control%1").arg(expected.id));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->property("controlId").toInt(), expected.id);
        EXPECT_STREQ(widget->metaObject()->className(), expected.kind);
        EXPECT_EQ(TextOf(widget), expected.text);
        EXPECT_EQ(widget->geometry(), expected.pixels);
        EXPECT_EQ(widget->isVisible(), expected.visible);
        EXPECT_EQ(widget->isEnabled(), expected.enabled);
    }
}

TEST(Template102, LabelsCaptionAndSize) {
    WindowFixture fixture;
    auto* file_label = fixture.dialog->findChild<QLabel*>(QStringLiteral("labelFirmwareFile"));
    auto* status_label = fixture.dialog->findChild<QLabel*>(QStringLiteral("labelStatus"));
    ASSERT_NE(file_label, nullptr);
    ASSERT_NE(status_label, nullptr);
    EXPECT_EQ(file_label->text(), QStringLiteral("F/W file:"));
    EXPECT_EQ(file_label->geometry(), QRect(11, 208, 42, 13));
    EXPECT_EQ(status_label->text(), QStringLiteral("Status"));
    EXPECT_EQ(status_label->geometry(), QRect(11, 242, 33, 13));
    EXPECT_EQ(fixture.dialog->windowTitle(), QStringLiteral("Torvex_31_V010_1"));
    EXPECT_EQ(fixture.dialog->size(), QSize(587, 530));
    // The operator cannot resize it and it has no maximise box.
    EXPECT_EQ(fixture.dialog->minimumSize(), fixture.dialog->maximumSize());
    EXPECT_FALSE(fixture.dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(fixture.dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
}

}  // namespace
}  // namespace torvex
