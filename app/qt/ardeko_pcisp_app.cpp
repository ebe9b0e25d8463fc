#include "app/qt/ardeko_pcisp_app.h"

#include <QCoreApplication>

#include "app/qt/device_event_notifier.h"

namespace torvex::qt {

void CArdekoPCISPApp::InitInstance(const std::function<void(CArdekoPCISPDlg&)>& prepare) {
    // The key the original named for its settings; nothing is ever read or written under it.
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    CArdekoPCISPDlg dialog(platform_, blocks_);
    if (device_changes_ != nullptr) dialog.ConnectDeviceChanges(*device_changes_);
    if (prepare) prepare(dialog);
    dialog.OnInitDialog();
    dialog.exec();
}

}  // namespace torvex::qt
