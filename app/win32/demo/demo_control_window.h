#pragma once
// The Windows demo's second window: the virtual product's connector and workbench. It plugs the
// product in and out, re-enumerates it in a chosen code, loads ready-made states, injects a
// fault on the next matching command, shows what the product is doing and a copy of the tool's
// status log (which the tool's cut-down window keeps out of sight). It also runs the
// product's clock: every few milliseconds the product's time follows the real time, and the
// arrivals and removals that fell due go to the tool's window, as the system would send them.

#include <windows.h>

#include "app/win32/ardeko_pcisp_dlg.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"
#include "simulator/virtual_product_events.h"

namespace torvex::win32::demo {

// The control window's controls.
enum ControlId : int {
    kPlug = 100,
    kUnplug,
    kReenumerate,
    kMode,
    kPreset,
    kLoadState,
    kFaultCommand,
    kFaultAction,
    kInject,
    kClearFaults,
    kSummary,
    kToolLog,
};

class DemoControlWindow {
  public:
    // `preset`: the state the product started in, shown as the chosen one.
    DemoControlWindow(sim::VirtualPlatform& platform, sim::DiskIndex disk,
                      sim::VirtualProductEvents& events, CArdekoPCISPDlg& tool,
                      sim::ProductPreset preset);
    DemoControlWindow(const DemoControlWindow&) = delete;
    DemoControlWindow& operator=(const DemoControlWindow&) = delete;
    ~DemoControlWindow();

    // Creates and shows the window at the given screen position and starts the product's clock.
    bool Create(int x, int y);
    HWND Window() const { return window_; }

    // Hands the due device changes to the tool and shows the product's state.
    void Pump();
    // The product's state in a few lines.
    std::wstring Summary() const;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void CreateControls();
    HWND AddControl(const wchar_t* type, const wchar_t* text, DWORD style, RECT pixels, int id);
    void OnCommand(int id);
    void Reenumerate();
    void LoadState();
    void InjectFault();
    void ShowSummary();
    void ShowToolLog();

    sim::VirtualPlatform& platform_;
    sim::DiskIndex disk_;
    sim::VirtualProductEvents& events_;
    CArdekoPCISPDlg& tool_;
    sim::ProductPreset start_preset_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HWND mode_ = nullptr;
    HWND preset_ = nullptr;
    HWND fault_command_ = nullptr;
    HWND fault_action_ = nullptr;
    HWND summary_ = nullptr;
    HWND tool_log_ = nullptr;
    int tool_log_length_ = -1;
};

}  // namespace torvex::win32::demo
