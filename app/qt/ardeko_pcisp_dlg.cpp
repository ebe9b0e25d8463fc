#include "app/qt/ardeko_pcisp_dlg.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QVariant>

#include "app/qt/device_event_notifier.h"
#include "app/qt/info_boxes.h"
#include "app/qt/status_pictures.h"
#include "app/qt/ui_text.h"

namespace torvex::qt {

namespace {

// The transport's diagnostics: one line per command the product did not receive or did not
// complete with GOOD status. Off unless asked for, as the runner's --verbose:
// QT_LOGGING_RULES="torvex.transport.info=true".
Q_LOGGING_CATEGORY(TransportLog, "torvex.transport", QtWarningMsg)

constexpr Qt::WindowFlags kDialogFlags = Qt::Window | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

// Enter and Escape never reach a control of this window: neither can close it or press a button.
bool IsSwallowedKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

// The command a menu entry stands for.
constexpr const char* kCommandIdProperty = "commandId";

}  // namespace

CArdekoPCISPDlg::CArdekoPCISPDlg(DevicePlatform& platform, const FirmwareBlockStore& blocks,
                                 QWidget* parent)
    : QDialog(parent, kDialogFlags), icon_(ApplicationIcon()), system_menu_(this) {
    setObjectName(QStringLiteral("dialog102"));
    setWindowTitle(ToQString(kDialogCaption));
    setFont(DialogFont());
    controls_ = CreateTemplate102(this);
    // The keyboard filter covers the window's controls; the menu keeps Enter and Escape.
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child != &system_menu_) child->installEventFilter(this);
    }

    replug_timer_.setObjectName(QStringLiteral("timer%1").arg(kReplugTimerId));
    replug_timer_.setInterval(kReplugTimerPeriodMs);
    // Queued: a tick that opens a message box must not keep the next ticks out of the box's
    // event loop (a timer is never re-entered while its own handler runs).
    connect(
        &replug_timer_, &QTimer::timeout, this,
        [this] { Dispatch([](DialogCore& core) { core.OnReplugTimer(); }); }, Qt::QueuedConnection);
    connect(controls_.update_fw, &QPushButton::clicked, this,
            [this] { Dispatch([](DialogCore& core) { core.OnUpdateFw(); }); });
    connect(controls_.browse, &QPushButton::clicked, this, &CArdekoPCISPDlg::OnBrowse);
    connect(controls_.browse_second, &QPushButton::clicked, this, &CArdekoPCISPDlg::OnBrowseSecond);
    connect(controls_.test, &QPushButton::clicked, this, [this] { core_->OnTest(); });
    connect(controls_.clear, &QPushButton::clicked, this, &CArdekoPCISPDlg::OnClear);
    core_ = std::make_unique<DialogCore>(*this, platform, blocks);
    core_->Transport().SetDiagnosticSink([](const std::string& line) {
        qCInfo(TransportLog).noquote() << QString::fromStdString(line);
    });
}

CArdekoPCISPDlg::~CArdekoPCISPDlg() = default;

bool CArdekoPCISPDlg::OnInitDialog() {
    AddSystemMenuItems();
    setWindowIcon(icon_);
    controls_.progress->setRange(0, kProgressMaximum);
    // On "findresource" the window keeps its full size and gets no timer.
    if (core_->OnInitDialog()) {
        controls_.test->setEnabled(false);
        controls_.clear->setEnabled(false);
        controls_.status_log->setEnabled(false);
        CutToTopBand();
        replug_timer_.start();
    }
    if (after_each_event_) after_each_event_();
    return true;
}

void CArdekoPCISPDlg::AddSystemMenuItems() {
    if (kAboutMenuText.empty()) return;
    // The window's own commands, reached by a right click anywhere on the window (or the
    // keyboard's menu key): Qt cannot add entries to the window manager's menu.
    system_menu_.addSeparator();
    QAction* about = system_menu_.addAction(ToQString(kAboutMenuText));
    about->setProperty(kCommandIdProperty, kAboutCommandId);
    system_menu_.addSeparator();
    QAction* help = system_menu_.addAction(ToQString(kHelpMenuText));
    help->setProperty(kCommandIdProperty, kHelpCommandId);
    connect(&system_menu_, &QMenu::triggered, this, [this](QAction* action) {
        OnSysCommand(action->property(kCommandIdProperty).toInt());
    });
}

void CArdekoPCISPDlg::CutToTopBand() {
    setFixedSize(kTopBandFrame.size().shrunkBy(kDialogFrameMargins));
    move(kTopBandFrame.topLeft());
}

void CArdekoPCISPDlg::OnSysCommand(int command_id) {
    if (command_id == kHelpCommandId) {
        CHelpIntroDlg help(this);
        help.exec();
    } else if ((command_id & ~0xF) == kAboutCommandId) {
        CAboutDlg about(this);
        about.exec();
    }
    // Other commands (move, minimise, close) belong to the window manager.
}

void CArdekoPCISPDlg::OnDeviceChange(std::uint32_t event_type) {
    Dispatch([event_type](DialogCore& core) { core.OnDeviceChange(event_type); });
}

void CArdekoPCISPDlg::ConnectDeviceChanges(DeviceEventNotifier& device_changes) {
    connect(&device_changes, &DeviceEventNotifier::DeviceChanged, this,
            &CArdekoPCISPDlg::OnDeviceChange);
}

void CArdekoPCISPDlg::OnBrowse() {
    const std::optional<QString> chosen =
        file_open_(this, {ToQString(kBrowseDefaultExtension), ToQString(kBrowseInitialName),
                          ToQString(kBrowseFilter)});
    if (chosen) controls_.firmware_path->setText(*chosen);
    core_->OnBrowseClosed(chosen.has_value());
}

void CArdekoPCISPDlg::OnBrowseSecond() {
    const std::optional<QString> chosen =
        file_open_(this, {ToQString(kBrowseSecondDefaultExtension),
                          ToQString(kBrowseSecondInitialName), ToQString(kBrowseSecondFilter)});
    if (chosen) controls_.second_path->setText(*chosen);
}

void CArdekoPCISPDlg::OnClear() {
    controls_.status_log->ClearLog();
}

bool CArdekoPCISPDlg::eventFilter(QObject* watched, QEvent* event) {
    if (IsSwallowedKey(event)) return true;
    return QDialog::eventFilter(watched, event);
}

void CArdekoPCISPDlg::keyPressEvent(QKeyEvent* event) {
    // The dialog's own Escape (reject) and Enter (default button) are switched off too.
    if (IsSwallowedKey(event)) return;
    QDialog::keyPressEvent(event);
}

void CArdekoPCISPDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (system_menu_.actions().isEmpty()) return;
    system_menu_.exec(event->globalPos());
}

}  // namespace torvex::qt
