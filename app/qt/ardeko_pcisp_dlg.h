#pragma once
// The main window: dialog template 102 with its controls, the status picture, the menu with the
// About and Help boxes, Browse, TEST and Clear, the keyboard filter, and the Qt side of the window
// port. Everything the tool decides happens in DialogCore; this class shows state and forwards
// the operator's actions, the one-second tick and device changes.

#include <QDialog>
#include <QIcon>
#include <QMenu>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/dialog_core.h"
#include "app/qt/dialog_template.h"
#include "app/qt/file_open_dialog.h"
#include "app/qt/line_log.h"
#include "base/window_port.h"

namespace torvex::qt {

class DeviceEventNotifier;

// The original's 595 x 210 window at the screen's top-left corner keeps, inside a 3-px dialog
// border and a 23-px caption, a client area of 589 x 181: the status picture, Update F/W and the
// progress bar; everything from the file row down lies outside it.
inline constexpr QRect kTopBandFrame(0, 0, 595, 210);
inline constexpr QMargins kDialogFrameMargins(3, 26, 3, 3);
inline constexpr int kReplugTimerId = 1;
inline constexpr int kReplugTimerPeriodMs = 1000;

class CArdekoPCISPDlg : public QDialog, public WindowPort {
    Q_OBJECT
  public:
    CArdekoPCISPDlg(DevicePlatform& platform, const FirmwareBlockStore& blocks,
                    QWidget* parent = nullptr);
    ~CArdekoPCISPDlg() override;

    // Start-up; returns true as the original does (whether or not a firmware block was missing).
    bool OnInitDialog();
    // The menu's commands: 17 opens Help; 16 (with any low four bits) opens About.
    void OnSysCommand(int command_id);
    // A device change from the platform; only arrival and complete removal reach the core.
    void OnDeviceChange(std::uint32_t event_type);
    void ConnectDeviceChanges(DeviceEventNotifier& device_changes);
    void SetFileOpenRunner(FileOpenRunner runner) { file_open_ = std::move(runner); }
    // Runs after start-up and after each tick, click and device change the core handled (the
    // Linux program shows its advice on raw SCSI access from here).
    void SetAfterEachEvent(std::function<void()> hook) { after_each_event_ = std::move(hook); }
    // Told when the update starts writing the product and when the run ends (the Linux program
    // keeps the system awake in between).
    void SetRunHooks(std::function<void()> update_writing, std::function<void()> run_ended) {
        update_writing_ = std::move(update_writing);
        run_ended_ = std::move(run_ended);
    }

    DialogCore& Core() { return *core_; }
    const Template102Controls& Controls() const { return controls_; }
    const QString& StatusLogText() const { return controls_.status_log->Text(); }
    const QString& SecondaryLogText() const { return secondary_log_.Text(); }
    QTimer& ReplugTimer() { return replug_timer_; }
    QMenu& SystemMenu() { return system_menu_; }

    // WindowPort.
    void AppendToStatusLog(std::u16string_view text) override;
    void AppendToSecondaryLog(std::u16string_view text) override;
    void LoadStatusPicture(StatusPicture picture) override;
    void InvalidateStatusPicture() override;
    void ForceRepaint() override;
    void ResetProgress() override;
    void StepProgress() override;
    void EnableUpdateButton(bool enabled) override;
    void ShowMessageBox(std::u16string_view text) override;
    void PostUpdateClick() override;
    void ClearFirmwarePath() override;
    void ReportUpdateWriting() override;
    void ReportRunEnding(RunEnding ending) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void AddSystemMenuItems();
    void CutToTopBand();
    void OnBrowse();
    void OnBrowseSecond();
    void OnClear();
    // Forwards one event to the core, then runs the after-event hook.
    template <typename Handler>
    void Dispatch(Handler handler) {
        handler(*core_);
        if (after_each_event_) after_each_event_();
    }

    QIcon icon_;
    Template102Controls controls_;
    LineLog secondary_log_;
    QMenu system_menu_;
    QTimer replug_timer_;
    FileOpenRunner file_open_ = RunFileOpenDialog;
    std::function<void()> after_each_event_;
    std::function<void()> update_writing_;
    std::function<void()> run_ended_;
    std::unique_ptr<DialogCore> core_;
};

// The caption of the tool's message boxes: the executable's base name.
QString ApplicationName();

}  // namespace torvex::qt
