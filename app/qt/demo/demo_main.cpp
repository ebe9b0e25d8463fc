// torvex-isp-demo: the tool's window on a virtual product, with a control window to plug and
// unplug the product, choose its code, firmware and faults, and watch every branch of the tool.
// The virtual product starts in the state named on the command line (default application-old).
#include <QApplication>
#include <QMessageBox>

#include "app/qt/demo/demo_session.h"
#include "resources/compiled_firmware_blocks.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    auto preset = torvex::sim::ProductPreset::ApplicationOld;
    if (arguments.size() > 1) {
        const auto named = torvex::sim::ParsePresetName(arguments[1].toStdString());
        if (!named) {
            QMessageBox::critical(nullptr, QStringLiteral("torvex-isp-demo"),
                                  QStringLiteral("Unknown product state: %1").arg(arguments[1]));
            return 64;
        }
        preset = *named;
    }
    torvex::qt::demo::DemoSession session(torvex::CompiledFirmwareBlocks(), preset);
    // The tool ends with its window; the control window alone keeps nothing running.
    QObject::connect(&session.Dialog(), &QDialog::finished, &application, &QApplication::quit);
    session.Start();
    return QApplication::exec();
}
