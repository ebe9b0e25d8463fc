// The window port of the main window, with its widgets.
#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "app/qt/ardeko_pcisp_dlg.h"
#include "app/qt/ui_text.h"

namespace torvex::qt {

QString ApplicationName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void CArdekoPCISPDlg::AppendToStatusLog(std::u16string_view text) {
    controls_.status_log->Append(ToQString(text));
}

void CArdekoPCISPDlg::AppendToSecondaryLog(std::u16string_view text) {
    secondary_log_.Append(ToQString(text));
    controls_.secondary_log->setText(secondary_log_.Text());
}

void CArdekoPCISPDlg::LoadStatusPicture(StatusPicture picture) {
    controls_.status_picture->Load(picture);
}

void CArdekoPCISPDlg::InvalidateStatusPicture() {
    controls_.status_picture->Invalidate();
}

void CArdekoPCISPDlg::ForceRepaint() {
    repaint();
}

void CArdekoPCISPDlg::ResetProgress() {
    controls_.progress->setValue(0);
    controls_.progress->update();
}

void CArdekoPCISPDlg::StepProgress() {
    QProgressBar* bar = controls_.progress;
    bar->setValue(std::min(bar->value() + 1, bar->maximum()));
}

void CArdekoPCISPDlg::EnableUpdateButton(bool enabled) {
    controls_.update_fw->setEnabled(enabled);
}

void CArdekoPCISPDlg::ShowMessageBox(std::u16string_view text) {
    // The box's own event loop keeps ticks, device changes and posted clicks coming.
    QMessageBox box(QMessageBox::Warning, ApplicationName(),
                    ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    // Modal to this window, which is the tool's only one; the demo's control window stays usable.
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

void CArdekoPCISPDlg::PostUpdateClick() {
    // Queued: runs when the event loop next dispatches, whether or not the button is enabled.
    QMetaObject::invokeMethod(
        this, [this] { Dispatch([](DialogCore& core) { core.OnUpdateFw(); }); },
        Qt::QueuedConnection);
}

void CArdekoPCISPDlg::ClearFirmwarePath() {
    controls_.firmware_path->clear();
}

// The window shows writing and endings by its picture and its box; the hooks keep the system
// awake in between.
void CArdekoPCISPDlg::ReportUpdateWriting() {
    if (update_writing_) update_writing_();
}

void CArdekoPCISPDlg::ReportRunEnding(RunEnding /*ending*/) {
    if (run_ended_) run_ended_();
}

}  // namespace torvex::qt
