#include "tests/window/window_fixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace torvex::testing {

DiskListing JournalPlatform::ListDiskInterfaces() {
    journal_.push_back("discovery");
    if (on_listing) on_listing();
    return ScriptedPlatform::ListDiskInterfaces();
}

FirmwareBlockStore::Block JournalBlocks::Find(std::uint16_t id) const {
    journal_.push_back("block " + std::to_string(id));
    if (on_lookup) on_lookup();
    return MemoryFirmwareBlocks::Find(id);
}

ModalAnswerer::ModalAnswerer() {
    timer_.setInterval(5);
    // Queued, so that the timer keeps firing while `inside` or a nested box runs.
    QObject::connect(
        &timer_, &QTimer::timeout, &context_, [this] { Poll(); }, Qt::QueuedConnection);
    timer_.start();
}

ModalAnswerer::~ModalAnswerer() {
    timer_.stop();
}

void ModalAnswerer::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    for (const QPointer<QWidget>& seen : handled_) {
        if (seen == modal) return;
    }
    handled_.emplace_back(modal);
    ModalRecord record{
        QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), {}};
    if (auto* box = qobject_cast<QMessageBox*>(modal)) record.text = box->text();
    records.push_back(record);
    const QPointer<QWidget> guard(modal);
    if (inside) {
        const auto run = std::move(inside);
        inside = nullptr;
        run(modal);
        if (guard == nullptr) return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        box->button(QMessageBox::Ok)->click();
    } else {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(modal, &escape);
    }
}

WindowFixture::WindowFixture() {
    dialog = std::make_unique<qt::CArdekoPCISPDlg>(platform, blocks);
}

void Spin() {
    QApplication::processEvents();
    QApplication::processEvents();  // and what the first pass posted
}

}  // namespace torvex::testing
