#pragma once
// The main window on Windows: dialog template 102 from the program's resources, with the status
// picture, the system menu's About and Help, Browse, TEST and Clear, the keyboard filter, the
// one-second timer, device changes and the Windows side of the window port. Everything the tool
// decides happens in DialogCore; this class shows state and forwards the operator's actions, the
// ticks and the device changes.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/dialog_core.h"
#include "app/win32/edit_log.h"
#include "app/win32/file_open_dialog.h"
#include "app/win32/status_picture_view.h"
#include "base/window_port.h"

namespace torvex::win32 {

// After start-up the window keeps its top band: 595 x 210 pixels (at 100 %) at the screen's
// top-left corner, which hold the caption, the status picture, Update F/W and the progress bar.
inline constexpr int kTopBandWidth = 595;
inline constexpr int kTopBandHeight = 210;
inline constexpr UINT_PTR kReplugTimerId = 1;
inline constexpr UINT kReplugTimerPeriodMs = 1000;

class CArdekoPCISPDlg : public WindowPort {
  public:
    CArdekoPCISPDlg(DevicePlatform& platform, const FirmwareBlockStore& blocks);
    CArdekoPCISPDlg(const CArdekoPCISPDlg&) = delete;
    CArdekoPCISPDlg& operator=(const CArdekoPCISPDlg&) = delete;
    ~CArdekoPCISPDlg() override;

    // Device changes from the system's broadcasts (the default), or only from DeliverDeviceChange
    // (the demo's virtual product). Set before Create.
    void WatchSystemDeviceChanges(bool watch) { watch_system_devices_ = watch; }
    void SetFileOpenRunner(FileOpenRunner runner) { file_open_ = std::move(runner); }

    // Creates the window from template 102; start-up runs in it. False when Windows refused.
    bool Create();
    // Runs the window until its close box, the system menu's Close or Alt+F4 ends it, then
    // destroys it; returns the dialog's result (IDCANCEL).
    INT_PTR RunModalLoop();
    // One message of the loop: the keyboard filter, then the dialog's own keyboard handling,
    // then dispatch.
    void ProcessMessage(MSG& message);
    // True for a message the window swallows: Enter or Escape pressed in the window.
    bool PreTranslateMessage(const MSG& message) const;
    // A device change from a source other than the system (the demo's virtual product).
    void DeliverDeviceChange(std::uint32_t event_type);

    HWND Window() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    bool Ended() const { return ended_; }
    DialogCore& Core() { return *core_; }
    StatusPicture LoadedPicture() const { return picture_.Loaded(); }
    const std::u16string& SecondaryLogText() const { return secondary_log_; }
    bool KeepsSystemAwake() const { return keeping_awake_; }

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

  private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam);
    INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void OnInitDialog();
    void AddSystemMenuItems();
    void SetIcons();
    void CutToTopBand();
    bool OnCommand(WORD id, WORD code);
    bool OnSysCommand(WPARAM command);
    bool OnPaint();
    void OnBrowse();
    void OnBrowseSecond();
    void OnDestroy();
    void EndDialogLoop(INT_PTR result);
    void AllowSleep();

    std::unique_ptr<DialogCore> core_;
    HWND window_ = nullptr;
    HICON big_icon_ = nullptr;
    HICON small_icon_ = nullptr;
    HDEVNOTIFY device_notifications_ = nullptr;
    bool watch_system_devices_ = true;
    FileOpenRunner file_open_ = RunFileOpenDialog;
    StatusPictureView picture_;
    EditLog status_log_;
    std::u16string secondary_log_;  // the hidden log's text, line ends included
    bool keeping_awake_ = false;
    bool ended_ = false;
    INT_PTR result_ = 0;
};

}  // namespace torvex::win32
