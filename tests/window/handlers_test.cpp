// The window's own handlers: Browse, the hidden second Browse, TEST, the menu commands, device
// changes, message boxes, the progress bar and the posted Update F/W click.
#include <gtest/gtest.h>

#include <QAction>
#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <utility>

#include "app/qt/device_event_notifier.h"
#include "app/qt/file_open_dialog.h"
#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

using testing::ModalAnswerer;
using testing::WindowFixture;

// Hands over whatever the test queued, when the notifier takes it.
struct QueuedEvents final : DeviceEventSource {
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point) override {
        return std::exchange(queued, {});
    }
    std::vector<std::uint32_t> queued;
};

struct HandlersTest : ::testing::Test, WindowFixture {
    HandlersTest() {
        dialog->SetFileOpenRunner([this](QWidget* owner, const qt::FileOpenRequest& request) {
            owners.push_back(owner);
            requests.push_back(request);
            return answer;
        });
        dialog->OnInitDialog();
        journal.clear();
    }
    ControllerState& state() { return dialog->Core().State(); }
    void ArmedClasses() {
        state().Ef64VersionClass = Ef64Class::Old;
        state().Ef32VersionClass = Ef32Class::Current;
        state().FirmwareAccepted = 0;
    }
    std::optional<QString> answer;
    std::vector<QWidget*> owners;
    std::vector<qt::FileOpenRequest> requests;
};

TEST_F(HandlersTest, BrowseChosenFileShowsPathAndReArmsEverything) {
    ArmedClasses();
    answer = QStringLiteral("/home/op/fw/new.binx");
    controls().browse->click();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(owners[0], dialog.get());
    EXPECT_EQ(requests[0].default_extension, QStringLiteral(".binx|"));
    EXPECT_EQ(requests[0].initial_name, QStringLiteral("*.binx"));
    EXPECT_EQ(requests[0].filter, QStringLiteral("Image file(*.BINX)|*.BINX|All files(*.*)|*.*||"));
    EXPECT_EQ(controls().firmware_path->text(), *answer);
    EXPECT_EQ(state().FirmwareAccepted, 1);
    EXPECT_EQ(state().Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(state().Ef32VersionClass, Ef32Class::Unchecked);
}

TEST_F(HandlersTest, BrowseCancelledStillResetsBothClasses) {
    controls().firmware_path->setText(QStringLiteral("/old/path.binx"));
    ArmedClasses();
    controls().browse->click();
    EXPECT_EQ(controls().firmware_path->text(), QStringLiteral("/old/path.binx"));
    EXPECT_EQ(state().FirmwareAccepted, 0);
    EXPECT_EQ(state().Ef64VersionClass, Ef64Class::Unchecked);
    EXPECT_EQ(state().Ef32VersionClass, Ef32Class::Unchecked);
}

TEST_F(HandlersTest, SecondBrowseOnlyFillsItsHiddenField) {
    ArmedClasses();
    answer = QStringLiteral("/tmp/any.file");
    controls().browse_second->setEnabled(true);  // hidden and disabled in the window
    controls().browse_second->click();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].default_extension, QString());
    EXPECT_EQ(requests[0].initial_name, QStringLiteral("*.*"));
    EXPECT_EQ(requests[0].filter, QStringLiteral("All files(*.*)|*.*||"));
    EXPECT_EQ(controls().second_path->text(), *answer);
    EXPECT_TRUE(controls().firmware_path->text().isEmpty());
    EXPECT_EQ(state().Ef64VersionClass, Ef64Class::Old);
    EXPECT_EQ(state().FirmwareAccepted, 0);
}

TEST(FileOpenDialog, PlatformFiltersBecomeQtNameFilters) {
    EXPECT_EQ(qt::ToQtNameFilters(u"Image file(*.BINX)|*.BINX|All files(*.*)|*.*||"),
              (QStringList{QStringLiteral("Image file(*.BINX) (*.BINX *.binx)"),
                           QStringLiteral("All files(*.*) (*)")}));
    EXPECT_EQ(qt::ToQtNameFilters(u"Both|*.a;*.B||"),
              (QStringList{QStringLiteral("Both (*.a *.A *.B *.b)")}));
    EXPECT_EQ(qt::ToQtNameFilters(u""), QStringList());
    EXPECT_EQ(qt::ToQtDefaultSuffix(u".binx|"), QStringLiteral("binx"));
    EXPECT_EQ(qt::ToQtDefaultSuffix(u"binx"), QStringLiteral("binx"));
    EXPECT_EQ(qt::ToQtDefaultSuffix(u""), QString());
}

TEST_F(HandlersTest, TestButtonShowsUpdatingAndThePictureButtonDoesNothing) {
    controls().test->setEnabled(true);
    controls().test->click();
    EXPECT_EQ(controls().status_picture->Loaded(), StatusPicture::Updating);
    const QString log_before = dialog->StatusLogText();
    controls().status_picture->click();
    EXPECT_EQ(controls().status_picture->Loaded(), StatusPicture::Updating);
    EXPECT_EQ(dialog->StatusLogText(), log_before);
}

TEST_F(HandlersTest, MenuCommandsOpenHelpOrAbout) {
    struct Case {
        int command;
        const char* opens;  // class of the box, or nullptr
    };
    const Case cases[] = {{16, "torvex::qt::CAboutDlg"},
                          {17, "torvex::qt::CHelpIntroDlg"},
                          {18, "torvex::qt::CAboutDlg"},
                          {31, "torvex::qt::CAboutDlg"},
                          {15, nullptr},
                          {32, nullptr},
                          {0xF060, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ModalAnswerer answerer;
        dialog->OnSysCommand(c.command);
        testing::Spin();
        if (c.opens == nullptr) {
            EXPECT_TRUE(answerer.records.empty());
            continue;
        }
        ASSERT_EQ(answerer.records.size(), 1u);
        EXPECT_EQ(answerer.records[0].class_name, QString::fromLatin1(c.opens));
    }
}

TEST_F(HandlersTest, MenuHoldsAboutAndHelpWithTheirCommands) {
    QStringList texts;
    for (QAction* action : dialog->SystemMenu().actions()) {
        if (!action->isSeparator()) texts.append(action->text());
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("About Torvex_31_V010_1.exe..."),
                                  QStringLiteral("Help")}));
    ModalAnswerer answerer;
    for (QAction* action : dialog->SystemMenu().actions()) {
        if (!action->isSeparator()) action->trigger();
    }
    ASSERT_EQ(answerer.records.size(), 2u);
    EXPECT_EQ(answerer.records[0].title, QStringLiteral("About Torvex_31_V010_1.exe"));
    EXPECT_EQ(answerer.records[1].title, QStringLiteral("Help"));
}

TEST_F(HandlersTest, OnlyArrivalAndRemovalReachTheCore) {
    QueuedEvents source;
    qt::DeviceEventNotifier notifier(source);
    dialog->ConnectDeviceChanges(notifier);
    state().Ef64VersionClass = Ef64Class::Current;
    state().Ef32VersionClass = Ef32Class::Current;
    state().MaskVariant = MaskCode::Mask0210;
    const QString log_before = dialog->StatusLogText();
    source.queued = {0x0007u, 0x8001u, 0x8002u, 0x8003u, 0x8005u, 0x8006u};
    notifier.TakeDueEvents();
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(dialog->StatusLogText(), log_before);
    EXPECT_EQ(state().Ef64VersionClass, Ef64Class::Current);
    EXPECT_EQ(state().Ef32VersionClass, Ef32Class::Current);
    EXPECT_EQ(state().MaskVariant, MaskCode::Mask0210);

    for (std::uint32_t counted : {kDeviceArrival, kDeviceRemoveComplete}) {
        state().Ef64VersionClass = Ef64Class::Current;
        controls().update_fw->setEnabled(true);
        source.queued = {counted};
        notifier.TakeDueEvents();
        EXPECT_EQ(state().Ef64VersionClass, Ef64Class::Unchecked);
        EXPECT_EQ(state().MaskVariant, MaskCode::Mask0110);
        EXPECT_FALSE(controls().update_fw->isEnabled());  // nothing found
    }
    EXPECT_EQ(journal, (std::vector<std::string>{"discovery", "discovery"}));
}

TEST_F(HandlersTest, ProgressStepsClampAtSevenAndReset) {
    for (int i = 0; i < 8; ++i) dialog->StepProgress();
    EXPECT_EQ(controls().progress->value(), 7);
    dialog->ResetProgress();
    EXPECT_EQ(controls().progress->value(), 0);
}

TEST_F(HandlersTest, MessageBoxIsModalWithOkAndTheProgramsName) {
    ModalAnswerer answerer;
    QString caption;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    answerer.inside = [&](QWidget* box) {
        auto* message = qobject_cast<QMessageBox*>(box);
        ASSERT_NE(message, nullptr);
        caption = message->windowTitle();
        buttons = static_cast<int>(message->buttons().size());
        icon = message->icon();
        EXPECT_TRUE(message->isModal());
    };
    dialog->ShowMessageBox(u"first line, \r\nsecond line.");
    ASSERT_EQ(answerer.records.size(), 1u);
    EXPECT_EQ(answerer.records[0].text, QStringLiteral("first line, \nsecond line."));
    EXPECT_EQ(caption, QStringLiteral("torvex_window_tests"));
    EXPECT_EQ(caption, qt::ApplicationName());
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST_F(HandlersTest, PostedClickRunsLaterEvenWithTheButtonDisabled) {
    ASSERT_FALSE(controls().update_fw->isEnabled());
    ModalAnswerer answerer;  // the failure ending's message box
    dialog->PostUpdateClick();
    EXPECT_FALSE(dialog->StatusLogText().contains(QStringLiteral("Button2...")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dialog->StatusLogText().contains(QStringLiteral("Button2...\r\n")); }, 10000));
}

TEST_F(HandlersTest, TicksPostedClicksAndDeviceChangesGoOnInsideAMessageBox) {
    dialog->ReplugTimer().setInterval(10);
    state().ReplugTicks = 39;  // the next tick times the replug wait out
    state().PollTicks = -100;  // and no discovery poll comes due meanwhile
    ModalAnswerer answerer;
    int hold_inside = -1;
    bool click_ran_inside = false;
    answerer.inside = [&](QWidget*) {
        dialog->PostUpdateClick();
        dialog->OnDeviceChange(kDeviceArrival);
        // Until the click has run, its box has come and gone, and a tick has counted its hold.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return dialog->StatusLogText().contains(QStringLiteral("Button2...")) &&
                       answerer.records.size() == 2 && state().PictureHold < 20;
            },
            10000));
        hold_inside = state().PictureHold;
        click_ran_inside = dialog->StatusLogText().contains(QStringLiteral("Button2..."));
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.records.empty(); }, 10000));
    EXPECT_EQ(answerer.records[0].text,
              QStringLiteral("Please disconnect and reconnect the device to your PC, \ntry the "
                             "update again."));
    // The posted click ran inside the box and ended, with no product, as not supported: its
    // own box opened on top, and its 20-tick hold was counted down by ticks inside both boxes.
    EXPECT_TRUE(click_ran_inside);
    ASSERT_EQ(answerer.records.size(), 2u);
    EXPECT_TRUE(answerer.records[1].text.startsWith(
        QStringLiteral("Your device's current firmware is not supported to update.")));
    EXPECT_GE(hold_inside, 0);
    EXPECT_LT(hold_inside, 20);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "discovery"), 1);
}

}  // namespace
}  // namespace torvex
