// The transport's diagnostics in the window: the "torvex.transport" logging category, off unless
// asked for; never the status log.
#include <gtest/gtest.h>

#include <QLoggingCategory>

#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

struct Captured {
    QString category;
    QString text;
};
std::vector<Captured> captured;

void Capture(QtMsgType, const QMessageLogContext& context, const QString& text) {
    captured.push_back({QString::fromLatin1(context.category), text});
}

TEST(TransportLog, FailedCommandsGoToTheCategoryOnlyWhenItIsEnabled) {
    testing::WindowFixture fixture;
    const QtMessageHandler previous = qInstallMessageHandler(Capture);
    const std::uint8_t cdb[16] = {0xFF, 0x50};
    const auto send_failing = [&] {
        fixture.platform.script = {testing::ScriptedPlatform::Failed(),
                                   testing::ScriptedPlatform::Delivered()};
        fixture.dialog->Core().Transport().SendSCSICommand(1, cdb,
                                                           DataPhase::None(DataDirection::In));
    };
    struct Case {
        const char* rules;
        std::size_t lines;
    };
    for (const Case& c : {Case{"", 0}, Case{"torvex.transport.info=true", 1}}) {
        SCOPED_TRACE(c.rules);
        captured.clear();
        QLoggingCategory::setFilterRules(QString::fromLatin1(c.rules));
        send_failing();
        ASSERT_EQ(captured.size(), c.lines);
        for (const Captured& line : captured) {
            EXPECT_EQ(line.category, QStringLiteral("torvex.transport"));
            EXPECT_TRUE(line.text.startsWith(QStringLiteral("command FF 50 ")));
            EXPECT_TRUE(line.text.contains(QStringLiteral("attempt 1 of 3: not delivered")));
        }
    }
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    EXPECT_FALSE(fixture.dialog->StatusLogText().contains(QStringLiteral("attempt")));
}

}  // namespace
}  // namespace torvex
