// The demo: the tool's window on the virtual product, driven only through the window (clicks and
// ticks) while the product's clock runs, as an operator would see it.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "app/qt/demo/demo_product_actions.h"
#include "app/qt/demo/demo_session.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/sample_firmware.h"
#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

using qt::demo::DemoSession;
using testing::ModalAnswerer;

constexpr int kTickMs = 40;

struct DemoTest : ::testing::Test {
    explicit DemoTest(sim::ProductPreset preset = sim::ProductPreset::ApplicationOld)
        : session(CompiledFirmwareBlocks(), preset) {
        // A product that comes back a few ticks after it left, on ticks that come quickly.
        session.Product().Timing().return_delay_ms = 4 * kTickMs;
        session.Start();
        session.Dialog().ReplugTimer().setInterval(kTickMs);
    }
    const qt::Template102Controls& controls() { return session.Dialog().Controls(); }
    QStringList Lines() {
        QStringList lines = session.Dialog().StatusLogText().split(QStringLiteral("\r\n"));
        lines.removeLast();  // after the last line end
        return lines;
    }
    // Waits until the log holds `line`; meanwhile notes the picture and the bar the moment
    // it appears.
    bool WaitForLine(const QString& line, int timeout_ms = 20000) {
        return QTest::qWaitFor(
            [&] {
                if (!Lines().contains(line)) return false;
                picture_then = controls().status_picture->Loaded();
                progress_then = controls().progress->value();
                return true;
            },
            timeout_ms);
    }
    DemoSession session;
    StatusPicture picture_then = StatusPicture::Standby;
    int progress_then = -1;
};

// The lines that tell the story, in the order they must come (other lines between them).
void ExpectInOrder(const QStringList& lines, const QStringList& story) {
    qsizetype at = 0;
    for (const QString& line : story) {
        const qsizetype found = lines.indexOf(line, at);
        ASSERT_GE(found, 0) << "missing in order: " << line.toStdString() << "\n"
                            << lines.join(u'\n').toStdString();
        at = found + 1;
    }
}

TEST_F(DemoTest, ApplicationOldIsUpdatedInTwoRunsFromOneClick) {
    ModalAnswerer answerer;
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls().update_fw->isEnabled(); }, 10000));
    EXPECT_EQ(controls().status_picture->Loaded(), StatusPicture::Ready);

    QTest::mouseClick(controls().update_fw, Qt::LeftButton);
    ASSERT_TRUE(WaitForLine(QStringLiteral("Updat FW.... Update complete !!")));

    EXPECT_EQ(picture_then, StatusPicture::Complete);
    EXPECT_EQ(progress_then, 0);
    EXPECT_TRUE(answerer.records.empty());
    const QStringList lines = Lines();
    EXPECT_EQ(lines.count(QStringLiteral("Button2...")), 2);  // the click, then the posted one
    ExpectInOrder(lines, {QStringLiteral("Button2..."), QStringLiteral("Run Code at Application "),
                          QStringLiteral("Button2..."), QStringLiteral("Run Code at OTA "),
                          QStringLiteral("Updat FW.... Update complete !!")});
    EXPECT_EQ(session.Dialog().SecondaryLogText(),
              QStringLiteral("DUT FW Updating...\r\nDUT FW Updating...\r\n"));

    sim::VirtualProduct& product = session.Product();
    EXPECT_EQ(product.Ef64().Identity(), sim::SampleEf64Identity(1));
    EXPECT_EQ(product.Ef32().Identity(), sim::SampleEf32Identity(1));
    EXPECT_TRUE(session.Platform().Violations().empty());
    EXPECT_EQ(session.Platform().OpenHandleCount(), 0u);
    // The product comes back in its new application code and the tool shows Ready again.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return controls().status_picture->Loaded() == StatusPicture::Ready; }, 10000));
    EXPECT_EQ(product.Mode(), sim::ProductMode::Application);
}

TEST_F(DemoTest, ChecksumTheProductRejectsEndsInFailAndAsksForAReplug) {
    session.Product().Faults().Add(
        sim::Fault::On(sim::Command::CheckEf32Main, sim::FaultAction::CheckCondition).Always());
    ModalAnswerer answerer;
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls().update_fw->isEnabled(); }, 10000));
    controls().update_fw->click();
    ASSERT_TRUE(WaitForLine(QStringLiteral("Updat FW.... FAIL !!")));

    EXPECT_EQ(picture_then, StatusPicture::Fail);
    EXPECT_EQ(progress_then, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.records.empty(); }, 5000));
    EXPECT_EQ(answerer.records[0].text,
              QStringLiteral("Please disconnect and reconnect the device to your PC, \ntry the "
                             "update again."));
    EXPECT_FALSE(Lines().contains(QStringLiteral("Updat FW.... Update complete !!")));
}

TEST(DemoControl, VersionsParseAsFourNumbers) {
    struct Case {
        const char16_t* text;
        std::optional<sim::FourParts> parts;
    };
    const Case cases[] = {
        {u"100.1.0.0", sim::FourParts{100, 1, 0, 0}},
        {u" 7.8.9.10 ", sim::FourParts{7, 8, 9, 10}},
        {u"255.255.255.255", sim::FourParts{255, 255, 255, 255}},
        {u"256.0.0.0", std::nullopt},
        {u"1.2.3", std::nullopt},
        {u"1.2.3.4.5", std::nullopt},
        {u"1.x.3.4", std::nullopt},
        {u"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        EXPECT_EQ(qt::demo::ParseFourParts(QString::fromUtf16(c.text)), c.parts);
    }
    EXPECT_EQ(qt::demo::FormatFourParts({100, 2, 0, 5}), QStringLiteral("100.2.0.5"));
}

TEST_F(DemoTest, ControlWindowUnplugsWritesBanksAndLoadsStates) {
    sim::VirtualPlatform& platform = session.Platform();
    auto* control = &session.Control();
    control->findChild<QPushButton*>(QStringLiteral("unplugButton"))->click();
    EXPECT_FALSE(platform.IsPresent(0));
    // The removal event reaches the tool, which finds nothing and shows Standby.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return controls().status_picture->Loaded() == StatusPicture::Standby; }, 5000));
    EXPECT_FALSE(controls().update_fw->isEnabled());

    control->findChild<QLineEdit*>(QStringLiteral("ef64Version"))
        ->setText(QStringLiteral("100.9.0.0"));
    control->findChild<QLineEdit*>(QStringLiteral("ef64Name"))
        ->setText(QStringLiteral("F_TORVEXZED_NEWER"));
    control->findChild<QCheckBox*>(QStringLiteral("ef32Erased"))->setChecked(true);
    control->findChild<QPushButton*>(QStringLiteral("writeBanksButton"))->click();
    const qt::demo::BankEdit ef64 = qt::demo::ReadBank(session.Product().Ef64());
    EXPECT_EQ(ef64.version, (sim::FourParts{100, 9, 0, 0}));
    EXPECT_EQ(ef64.name, "F_TORVEXZED_NEWER");
    EXPECT_TRUE(session.Product().Ef64().HoldsValidFirmware());
    EXPECT_TRUE(qt::demo::ReadBank(session.Product().Ef32()).erased);

    auto* presets = control->findChild<QComboBox*>(QStringLiteral("presetCombo"));
    presets->setCurrentIndex(presets->findText(QStringLiteral("protect-isp")));
    control->findChild<QPushButton*>(QStringLiteral("loadPresetButton"))->click();
    EXPECT_TRUE(platform.IsPresent(0));
    EXPECT_EQ(session.Product().Mode(), sim::ProductMode::ProtectIsp);
    // A product in protected ISP code: Update F/W is enabled, the picture stays Standby.
    EXPECT_TRUE(QTest::qWaitFor([&] { return controls().update_fw->isEnabled(); }, 5000));
    EXPECT_EQ(controls().status_picture->Loaded(), StatusPicture::Standby);
}

}  // namespace
}  // namespace torvex
