// Enter and Escape, pressed anywhere in the window, do nothing; the window closes only through
// its close box (or Alt+F4, which reaches the same close).
#include <gtest/gtest.h>

#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

using testing::WindowFixture;

struct KeyboardTest : ::testing::Test, WindowFixture {
    KeyboardTest() {
        dialog->SetFileOpenRunner([this](QWidget*, const qt::FileOpenRequest&) {
            ++file_dialogs;
            return std::optional<QString>();
        });
        dialog->OnInitDialog();
        dialog->show();
        dialog->activateWindow();
        testing::Spin();
    }
    int file_dialogs = 0;
};

TEST_F(KeyboardTest, EnterAndEscapeDoNothingWherePressed) {
    const auto& c = controls();
    c.update_fw->setEnabled(true);  // as the timer enables it with a product present
    QSignalSpy update_clicks(c.update_fw, &QPushButton::clicked);
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    const std::vector<QWidget*> targets = {dialog.get(), c.update_fw, c.browse, c.status_picture,
                                           c.firmware_path};
    for (QWidget* target : targets) {
        SCOPED_TRACE(target->objectName().toStdString());
        target->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(target, key);
        }
        EXPECT_TRUE(dialog->isVisible());
    }
    EXPECT_EQ(update_clicks.count(), 0);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(file_dialogs, 0);
    EXPECT_EQ(dialog->Core().State().Ef64VersionClass, Ef64Class::Unchecked);
}

TEST_F(KeyboardTest, OtherKeysStillWork) {
    controls().browse->setFocus();
    QTest::keyClick(controls().browse, Qt::Key_Space);
    EXPECT_EQ(file_dialogs, 1);
}

TEST_F(KeyboardTest, TheMenuStillClosesWithEscape) {
    QMenu& menu = dialog->SystemMenu();
    menu.popup(dialog->mapToGlobal(QPoint(50, 50)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(&menu, Qt::Key_Escape);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(KeyboardTest, CloseBoxEndsTheWindow) {
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    EXPECT_TRUE(dialog->close());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
}  // namespace torvex
