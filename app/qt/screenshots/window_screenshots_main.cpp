// torvex-window-screenshots DIR: renders the tool's window in each status-picture state, the
// full window of a start-up that stopped at "findresource", the About and Help boxes and the
// demo's control window to PNG files in DIR. Run offscreen; with QT_SCALE_FACTOR=2 the files
// get an "@2x" suffix.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QTest>
#include <cstdio>

#include "app/qt/demo/demo_session.h"
#include "app/qt/info_boxes.h"
#include "resources/compiled_firmware_blocks.h"

namespace {

using torvex::StatusPicture;

// The compiled blocks without block 134: start-up stops at "findresource".
class WithoutFirstBlock : public torvex::FirmwareBlockStore {
  public:
    Block Find(std::uint16_t id) const override {
        if (id == torvex::kBlock134Id) return {};
        return torvex::CompiledFirmwareBlocks().Find(id);
    }
};

QString g_directory;
QString g_suffix;

void Save(QWidget& widget, const QString& name) {
    QApplication::processEvents();
    const QString path = g_directory + u'/' + name + g_suffix + QStringLiteral(".png");
    if (!widget.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// Answers the message boxes start-up shows (the "findresource" box), as an operator would.
void CloseMessageBoxesSoon() {
    QTimer::singleShot(50, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->button(QMessageBox::Ok)->click();
        }
    });
}

void MainWindowStates() {
    torvex::qt::demo::DemoSession session(torvex::CompiledFirmwareBlocks(),
                                          torvex::sim::ProductPreset::ApplicationOld);
    session.Start();
    torvex::qt::CArdekoPCISPDlg& dialog = session.Dialog();
    Save(dialog, QStringLiteral("main-standby"));
    session.Control().move(dialog.frameGeometry().right() + 20, 0);
    dialog.ReplugTimer().setInterval(20);
    if (!QTest::qWaitFor([&] { return dialog.Controls().update_fw->isEnabled(); }, 10000))
        std::fprintf(stderr, "the tool never became ready\n");
    dialog.ReplugTimer().stop();
    Save(dialog, QStringLiteral("main-ready"));
    Save(session.Control(), QStringLiteral("demo-control"));
    const struct {
        StatusPicture picture;
        int progress;
        const char* name;
    } states[] = {{StatusPicture::Updating, 3, "main-updating"},
                  {StatusPicture::Complete, 0, "main-complete"},
                  {StatusPicture::Fail, 0, "main-fail"},
                  {StatusPicture::Pass, 0, "main-pass"}};
    for (const auto& state : states) {
        dialog.ResetProgress();
        for (int i = 0; i < state.progress; ++i) dialog.StepProgress();
        torvex::SetStatusPicture(dialog, state.picture);
        Save(dialog, QString::fromLatin1(state.name));
    }
}

void FullWindow() {
    torvex::sim::VirtualPlatform platform;
    platform.AddProduct(torvex::sim::PresetConfig(torvex::sim::ProductPreset::ApplicationOld));
    WithoutFirstBlock blocks;
    torvex::qt::CArdekoPCISPDlg dialog(platform, blocks);
    dialog.Controls().firmware_path->setText(QStringLiteral("/home/operator/firmware/torvex.binx"));
    CloseMessageBoxesSoon();
    dialog.OnInitDialog();
    dialog.show();
    Save(dialog, QStringLiteral("main-full-findresource"));
}

void Boxes() {
    torvex::qt::CAboutDlg about;
    about.show();
    Save(about, QStringLiteral("about"));
    torvex::qt::CHelpIntroDlg help;
    help.show();
    Save(help, QStringLiteral("help"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: torvex-window-screenshots DIR\n");
        return 64;
    }
    g_directory = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_directory);
    const qreal ratio = application.devicePixelRatio();
    g_suffix = ratio > 1.0 ? QStringLiteral("@%1x").arg(qRound(ratio)) : QString();
    MainWindowStates();
    FullWindow();
    Boxes();
    return 0;
}
