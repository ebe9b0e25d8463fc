#include "app/qt/linux_desktop_session.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "base/text.h"

namespace torvex::qt {

LinuxDesktopSession::LinuxDesktopSession(linux_backend::LinuxDevicePlatform& platform,
                                         CArdekoPCISPDlg& dialog,
                                         desktop::FreedProductEvents& events)
    : platform_(platform),
      dialog_(dialog),
      events_(events),
      awake_(inhibitor_, [](const std::string& text) {
          // Said where the window's own diagnostics go; the update goes on.
          std::fprintf(stderr, "torvex-isp: %s\n", text.c_str());
      }) {
    dialog_.SetAfterEachEvent([this] { AfterEachEvent(); });
    dialog_.SetRunHooks([this] { awake_.UpdateWriting(); }, [this] { awake_.RunEnded(); });
}

void LinuxDesktopSession::AfterEachEvent() {
    // Without raw SCSI access every command would fail silently: say so, once.
    const std::u16string advice = platform_.TakeRawAccessAdvice();
    if (!advice.empty()) dialog_.ShowMessageBox(advice);
    // The mounts are looked at once the event is done, with the window on screen.
    if (mounts_pending_) return;
    mounts_pending_ = true;
    QTimer::singleShot(0, &dialog_, [this] { ConsiderMounts(); });
}

void LinuxDesktopSession::ConsiderMounts() {
    mounts_pending_ = false;
    const std::optional<desktop::UnmountReport> report = offer_.Consider(
        platform_.LastOpenMounts(),
        [this](const desktop::MountedDisk& blocked) { return AskToUnmount(blocked); });
    if (!report) return;
    if (!report->Freed()) dialog_.ShowMessageBox(FromUtf8(desktop::UnmountFailureText(*report)));
    // No udev event says the disk is free: the event source has an arrival due now, so the product
    // is looked for at once rather than at the next poll.
    if (!report->unmounted.empty()) events_.AnnounceFreed();
}

bool LinuxDesktopSession::AskToUnmount(const desktop::MountedDisk& blocked) {
    QMessageBox box(QMessageBox::Question, ApplicationName(),
                    QString::fromStdString(desktop::UnmountQuestion(blocked)),
                    QMessageBox::NoButton, &dialog_);
    box.setTextFormat(Qt::PlainText);
    QPushButton* unmount = box.addButton(QStringLiteral("Unmount"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(unmount);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
    return box.clickedButton() == unmount;
}

}  // namespace torvex::qt
