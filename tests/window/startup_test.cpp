// Start-up: discovery, then the firmware blocks, then the window cut to its top band and the
// one-second timer; or, with a block missing, "findresource" and a full window without a timer.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTimer>

#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

using testing::ModalAnswerer;
using testing::WindowFixture;

std::vector<std::string> BlockLookups(const std::vector<std::string>& journal) {
    std::vector<std::string> lookups;
    for (const std::string& entry : journal) {
        if (entry.rfind("block ", 0) == 0) lookups.push_back(entry);
    }
    return lookups;
}

TEST(StartUp, DiscoveryThenBlocksThenTopBandAndTimer) {
    WindowFixture fixture;
    qt::CArdekoPCISPDlg& dialog = *fixture.dialog;
    struct Seen {
        StatusPicture picture;
        int progress;
        int progress_maximum;
        bool update_enabled;
        bool timer_active;
        QSize size;
    };
    std::vector<Seen> at_discovery;
    std::vector<Seen> at_lookup;
    const auto look = [&] {
        const auto& c = dialog.Controls();
        return Seen{c.status_picture->Loaded(),      c.progress->value(),
                    c.progress->maximum(),           c.update_fw->isEnabled(),
                    dialog.ReplugTimer().isActive(), dialog.size()};
    };
    fixture.platform.on_listing = [&] { at_discovery.push_back(look()); };
    fixture.blocks.on_lookup = [&] { at_lookup.push_back(look()); };

    EXPECT_TRUE(dialog.OnInitDialog());

    EXPECT_EQ(fixture.journal,
              (std::vector<std::string>{"discovery", "block 134", "block 138", "block 162",
                                        "block 163", "block 161", "block 156", "block 164"}));
    ASSERT_EQ(at_discovery.size(), 1u);
    const Seen& before = at_discovery.front();
    EXPECT_EQ(before.picture, StatusPicture::Standby);
    EXPECT_EQ(before.progress, 0);
    EXPECT_EQ(before.progress_maximum, kProgressMaximum);
    EXPECT_FALSE(before.update_enabled);
    for (const Seen& seen : at_lookup) {
        EXPECT_FALSE(seen.timer_active);
        EXPECT_EQ(seen.size, QSize(587, 530));
    }
    EXPECT_TRUE(dialog.ReplugTimer().isActive());
    EXPECT_EQ(dialog.ReplugTimer().interval(), 1000);
    EXPECT_EQ(dialog.Core().State().FirmwareAccepted, 1);
    EXPECT_EQ(dialog.Core().State().MaskPollTicks, 3);
}

TEST(StartUp, WindowIsCutToItsTopBand) {
    WindowFixture fixture;
    qt::CArdekoPCISPDlg& dialog = *fixture.dialog;
    dialog.OnInitDialog();
    dialog.show();
    testing::Spin();
    const auto& c = dialog.Controls();

    // The original's 595 x 210 window at the screen's corner, less its frame and caption.
    EXPECT_EQ(dialog.frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(dialog.size(), QSize(589, 181));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    const QRect client = dialog.rect();
    for (QWidget* shown : {static_cast<QWidget*>(c.status_picture),
                           static_cast<QWidget*>(c.update_fw), static_cast<QWidget*>(c.progress)}) {
        EXPECT_TRUE(client.contains(shown->geometry())) << shown->objectName().toStdString();
    }
    for (const char* name : {"labelFirmwareFile", "control1000", "control1001", "labelStatus",
                             "control1004", "control1009", "control1016"}) {
        auto* hidden = dialog.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(hidden, nullptr);
        EXPECT_FALSE(client.intersects(hidden->geometry())) << name;
        EXPECT_TRUE(hidden->visibleRegion().isEmpty()) << name;
    }
    EXPECT_FALSE(c.test->isEnabled());
    EXPECT_FALSE(c.clear->isEnabled());
    EXPECT_FALSE(c.status_log->isEnabled());
    EXPECT_TRUE(c.browse->isEnabled());
    EXPECT_FALSE(c.update_fw->isEnabled());
    EXPECT_EQ(c.status_picture->Loaded(), StatusPicture::Standby);
    EXPECT_EQ(c.progress->minimum(), 0);
    EXPECT_EQ(c.progress->maximum(), 7);
    EXPECT_EQ(c.progress->value(), 0);
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST(StartUp, MissingFirstBlockShowsFindresourceAndKeepsTheFullWindow) {
    WindowFixture fixture;
    fixture.blocks.blocks.erase(kBlock134Id);
    qt::CArdekoPCISPDlg& dialog = *fixture.dialog;
    {
        ModalAnswerer answerer;
        EXPECT_TRUE(dialog.OnInitDialog());
        ASSERT_EQ(answerer.records.size(), 1u);
        EXPECT_EQ(answerer.records[0].text, QStringLiteral("findresource"));
    }
    dialog.show();
    testing::Spin();
    const auto& c = dialog.Controls();

    EXPECT_EQ(fixture.journal, (std::vector<std::string>{"discovery", "block 134"}));
    EXPECT_EQ(dialog.size(), QSize(587, 530));
    EXPECT_TRUE(c.test->isEnabled());
    EXPECT_TRUE(c.clear->isEnabled());
    EXPECT_TRUE(c.status_log->isEnabled());
    EXPECT_TRUE(c.status_log->isVisible());
    EXPECT_FALSE(c.update_fw->isEnabled());
    EXPECT_FALSE(dialog.ReplugTimer().isActive());
    EXPECT_EQ(dialog.Core().State().FirmwareAccepted, 0);

    // TEST and Clear still do their work.
    c.test->click();
    EXPECT_EQ(c.status_picture->Loaded(), StatusPicture::Updating);
    ASSERT_FALSE(dialog.StatusLogText().isEmpty());  // discovery's lines
    c.clear->click();
    EXPECT_TRUE(dialog.StatusLogText().isEmpty());
    EXPECT_TRUE(c.status_log->toPlainText().isEmpty());
}

TEST(StartUp, LaterMissingBlockStopsTheLookupsThere) {
    WindowFixture fixture;
    fixture.blocks.blocks.erase(kEf32InfoBlockId);
    ModalAnswerer answerer;
    fixture.dialog->OnInitDialog();
    EXPECT_EQ(BlockLookups(fixture.journal),
              (std::vector<std::string>{"block 134", "block 138", "block 162", "block 163",
                                        "block 161"}));
    EXPECT_FALSE(fixture.dialog->ReplugTimer().isActive());
    EXPECT_EQ(fixture.dialog->size(), QSize(587, 530));
}

}  // namespace
}  // namespace torvex
