#include "tests/win32/window_harness.h"

#include <commctrl.h>
#include <dbt.h>

#include "app/dialog_templates.h"
#include "app/win32/ardeko_pcisp_app.h"
#include "app/win32/win32_text.h"
#include "resources/compiled_firmware_blocks.h"

namespace torvex::win32::testing {

WindowHarness::WindowHarness(std::optional<sim::ProductPreset> preset,
                             const FirmwareBlockStore* blocks) {
    InitCommonControls95();
    if (preset) platform.AddProduct(sim::PresetConfig(*preset));
    dialog = std::make_unique<CArdekoPCISPDlg>(
        platform, blocks != nullptr ? *blocks : CompiledFirmwareBlocks());
    if (!dialog->Create()) return;
    timer_was_running = KillTimer(Dialog(), kReplugTimerId) != FALSE;
}

WindowHarness::~WindowHarness() {
    dialog.reset();
    DispatchQueued();
}

std::u16string WindowHarness::Text(int id) const {
    return WindowText(Control(id));
}

int WindowHarness::Progress() const {
    return static_cast<int>(SendMessageW(Control(kIdProgress), PBM_GETPOS, 0, 0));
}

void WindowHarness::Tick(int count) {
    for (int i = 0; i < count; ++i) {
        SendMessageW(Dialog(), WM_TIMER, kReplugTimerId, 0);
        DispatchQueued();
    }
}

void WindowHarness::ClickUpdate() {
    if (!Enabled(kIdUpdateFw)) return;
    SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(kIdUpdateFw, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(kIdUpdateFw)));
    DispatchQueued();
}

void WindowHarness::Advance(std::uint64_t ms) {
    platform.AdvanceClock(ms);
    for (const sim::DeviceEvent& event : platform.TakeEvents())
        SendMessageW(Dialog(), WM_DEVICECHANGE, event.type, 0);
    DispatchQueued();
}

void WindowHarness::DispatchQueued() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog != nullptr && dialog->Window() != nullptr) {
            dialog->ProcessMessage(message);
        } else {
            DispatchMessageW(&message);
        }
    }
}

BoxCloser::BoxCloser(HWND owner, std::function<void(HWND box)> inside)
    : owner_(owner), inside_(std::move(inside)) {
    timer_ = SetTimer(nullptr, 0, 20, &BoxCloser::OnTimer);
    // One closer at a time: the timer callback finds it here.
    SetPropW(GetDesktopWindow(), L"TorvexBoxCloser", this);
}

BoxCloser::~BoxCloser() {
    KillTimer(nullptr, timer_);
    RemovePropW(GetDesktopWindow(), L"TorvexBoxCloser");
}

void CALLBACK BoxCloser::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    auto* closer = static_cast<BoxCloser*>(GetPropW(GetDesktopWindow(), L"TorvexBoxCloser"));
    if (closer != nullptr) closer->Check();
}

void BoxCloser::Check() {
    struct Search {
        HWND owner;
        HWND found = nullptr;
    } search{owner_};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            const HWND owner = GetWindow(window, GW_OWNER);
            const bool owned = s->owner == nullptr ? owner != nullptr : owner == s->owner;
            if (std::wstring(name) != L"#32770" || !owned) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr || search.found == last_closed_) return;
    last_closed_ = search.found;
    SeenBox box{WindowText(search.found), {}};
    for (HWND child = GetWindow(search.found, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        box.texts.push_back(WindowText(child));
    seen_.push_back(box);
    if (inside_) inside_(search.found);
    PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

}  // namespace torvex::win32::testing
