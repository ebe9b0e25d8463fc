#pragma once
// The Windows window on a virtual product, driven the way the system drives it: messages sent
// to the dialog (ticks, clicks, device changes), the product's clock advanced by the test, and
// the posted messages dispatched through the window's own loop. The supervision timer is
// stopped right after start-up, so only the test's ticks count.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/win32/ardeko_pcisp_dlg.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"

namespace torvex::win32::testing {

struct WindowHarness {
    // `preset`: the product attached at start-up; none: no product.
    explicit WindowHarness(std::optional<sim::ProductPreset> preset,
                           const FirmwareBlockStore* blocks = nullptr);
    ~WindowHarness();

    HWND Dialog() const { return dialog->Window(); }
    HWND Control(int id) const { return dialog->Control(id); }
    std::u16string Text(int id) const;
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    int Progress() const;

    void Tick(int count = 1);
    // A click of an enabled Update F/W, as the button sends it.
    void ClickUpdate();
    // Moves the product's clock on and sends its arrivals and removals to the window.
    void Advance(std::uint64_t ms);
    // Dispatches what is queued (posted clicks among it) through the window's loop.
    void DispatchQueued();

    sim::VirtualPlatform platform;
    std::unique_ptr<CArdekoPCISPDlg> dialog;
    bool timer_was_running = false;
};

// A modal box that opened over `owner`: its caption and the texts of its controls.
struct SeenBox {
    std::u16string caption;
    std::vector<std::u16string> texts;
};

// Watches for modal boxes over `owner` (null: over any window) while a nested loop runs (a
// thread timer fires inside it): each box found is recorded, handed to `inside` and then closed
// with IDOK.
class BoxCloser {
  public:
    explicit BoxCloser(HWND owner, std::function<void(HWND box)> inside = {});
    ~BoxCloser();
    const std::vector<SeenBox>& Seen() const { return seen_; }

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);
    void Check();

    HWND owner_;
    std::function<void(HWND)> inside_;
    UINT_PTR timer_ = 0;
    HWND last_closed_ = nullptr;  // closing takes a moment: not recorded twice
    std::vector<SeenBox> seen_;
};

}  // namespace torvex::win32::testing
