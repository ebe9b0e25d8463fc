// Template 102 as start-up leaves it: every control at its id, kind, text and place, the
// window cut to its top band at the screen's corner with the one-second timer running, and a
// start-up that stops at a missing firmware block.
#include <gtest/gtest.h>

#include <windows.h>
// windows.h first: commctrl.h relies on its types.
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/dialog_templates.h"
#include "app/win32/win32_text.h"
#include "app/window_texts.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/win32/window_harness.h"

namespace torvex::win32 {
namespace {

using testing::BoxCloser;
using testing::WindowHarness;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

const wchar_t* ClassFor(ControlKind kind) {
    switch (kind) {
        case ControlKind::StatusPicture:
        case ControlKind::PushButton:
            return L"Button";
        case ControlKind::ProgressBar:
            return L"msctls_progress32";
        case ControlKind::Label:
            return L"Static";
        default:
            return L"Edit";
    }
}

// The control of the template entry: by id, or a label by its text.
HWND Find(HWND dialog, const ControlSpec& entry) {
    if (entry.id != kIdStaticText) return GetDlgItem(dialog, entry.id);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" && WindowText(child) == entry.text) return child;
    }
    return nullptr;
}

RECT RectInDialog(HWND dialog, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The dialog manager converts the position and the size each on its own.
RECT ExpectedRect(HWND dialog, const DialogRect& du) {
    RECT rect{du.x, du.y, du.width, du.height};
    MapDialogRect(dialog, &rect);
    return {rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

// A border as the style says, or as the control turned it into an edge of its own.
bool Bordered(HWND window) {
    const LONG_PTR edges = WS_EX_CLIENTEDGE | WS_EX_STATICEDGE;
    return (GetWindowLongPtrW(window, GWL_STYLE) & WS_BORDER) != 0 ||
           (GetWindowLongPtrW(window, GWL_EXSTYLE) & edges) != 0;
}

bool HasStyle(HWND window, LONG_PTR style) {
    return (GetWindowLongPtrW(window, GWL_STYLE) & style) == style;
}

TEST(Startup, EveryControlOfTemplate102AtItsIdKindTextAndPlace) {
    WindowHarness harness(std::nullopt);
    ASSERT_NE(harness.Dialog(), nullptr);
    for (const ControlSpec& entry : kTemplate102) {
        SCOPED_TRACE(std::to_string(entry.id) + " " + (entry.name ? entry.name : ""));
        const HWND control = Find(harness.Dialog(), entry);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassOf(control), ClassFor(entry.kind));
        // The picture's text names what it shows (Standby after start-up); the log already
        // holds what discovery reported.
        if (entry.id == kIdStatusPicture) {
            EXPECT_EQ(WindowText(control), u"Standby");
        } else if (entry.id != kIdStatusLog) {
            EXPECT_EQ(WindowText(control), entry.text);
        }
        const RECT actual = RectInDialog(harness.Dialog(), control);
        const RECT expected = ExpectedRect(harness.Dialog(), entry.rect);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right, expected.right);
        EXPECT_EQ(actual.bottom, expected.bottom);
        EXPECT_EQ(HasStyle(control, WS_VISIBLE), entry.visible);
        // Start-up disables Update F/W, TEST, Clear and the log; the rest as the template says.
        const bool disabled_by_startup = entry.id == kIdUpdateFw || entry.id == kIdTest ||
                                         entry.id == kIdClear || entry.id == kIdStatusLog;
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, entry.enabled && !disabled_by_startup);
    }
    EXPECT_TRUE(HasStyle(harness.Control(kIdStatusPicture), BS_OWNERDRAW));
    EXPECT_TRUE(Bordered(harness.Control(kIdStatusLog)));
    EXPECT_TRUE(HasStyle(harness.Control(kIdStatusLog), ES_MULTILINE | WS_VSCROLL));
    EXPECT_FALSE(Bordered(harness.Control(kIdSecondaryLog)));
}

TEST(Startup, CaptionFontTopBandTimerAndPictures) {
    WindowHarness harness(std::nullopt);
    const HWND dialog = harness.Dialog();
    EXPECT_EQ(WindowText(dialog), kDialogCaption);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Shell Dlg");
    EXPECT_TRUE(HasStyle(dialog, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME));
    EXPECT_FALSE(HasStyle(dialog, WS_MAXIMIZEBOX));

    // 595 x 210 at 100 %, at the screen's top-left corner.
    const int dpi = static_cast<int>(WindowDpi(dialog));
    RECT frame;
    GetWindowRect(dialog, &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(frame.right, MulDiv(kTopBandWidth, dpi, 96));
    EXPECT_EQ(frame.bottom, MulDiv(kTopBandHeight, dpi, 96));
    EXPECT_TRUE(harness.timer_was_running);
    EXPECT_EQ(SendMessageW(harness.Control(kIdProgress), PBM_GETRANGE, FALSE, 0), 7);
    EXPECT_EQ(harness.dialog->LoadedPicture(), StatusPicture::Standby);

    // The six pictures are 432 x 117 24-bit bitmaps of the program.
    for (int id = 135; id <= 140; ++id) {
        SCOPED_TRACE(id);
        HANDLE image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0,
                                  0, LR_CREATEDIBSECTION);
        ASSERT_NE(image, nullptr);
        DIBSECTION section{};
        ASSERT_NE(GetObjectW(image, sizeof section, &section), 0);
        EXPECT_EQ(section.dsBm.bmWidth, 432);
        EXPECT_EQ(section.dsBm.bmHeight, 117);
        EXPECT_EQ(section.dsBm.bmBitsPixel, 24);
        DeleteObject(image);
    }
}

TEST(Startup, MissingFirmwareBlockKeepsTheFullWindowWithoutTimer) {
    auto blocks = torvex::testing::MemoryFirmwareBlocks::Patterned();
    blocks.blocks.erase(134);
    std::unique_ptr<WindowHarness> harness;
    {
        // The box appears inside start-up, before the window exists for the test.
        BoxCloser closer(nullptr);
        harness = std::make_unique<WindowHarness>(std::nullopt, &blocks);
        ASSERT_EQ(closer.Seen().size(), 1u);
        const auto& texts = closer.Seen()[0].texts;
        EXPECT_NE(std::find(texts.begin(), texts.end(), u"findresource"), texts.end());
    }
    EXPECT_FALSE(harness->timer_was_running);
    EXPECT_TRUE(harness->Enabled(kIdTest));
    EXPECT_TRUE(harness->Enabled(kIdClear));
    EXPECT_TRUE(harness->Enabled(kIdStatusLog));
    RECT client;
    GetClientRect(harness->Dialog(), &client);
    RECT full{0, 0, kTemplateWidthDu, kTemplateHeightDu};
    MapDialogRect(harness->Dialog(), &full);
    EXPECT_EQ(client.right, full.right);
    EXPECT_EQ(client.bottom, full.bottom);
}

TEST(Startup, EnterAndEscapeNeverReachTheWindow) {
    WindowHarness harness(sim::ProductPreset::ApplicationOld);
    harness.Tick();
    ASSERT_TRUE(harness.Enabled(kIdUpdateFw));
    SetFocus(harness.Control(kIdUpdateFw));
    const std::u16string log_before = harness.Text(kIdStatusLog);
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        for (HWND target : {harness.Dialog(), harness.Control(kIdUpdateFw)}) {
            MSG message{target, WM_KEYDOWN, key, 0, 0, {0, 0}};
            EXPECT_TRUE(harness.dialog->PreTranslateMessage(message));
            harness.dialog->ProcessMessage(message);
        }
    }
    harness.DispatchQueued();
    EXPECT_FALSE(harness.dialog->Ended());
    EXPECT_EQ(harness.Text(kIdStatusLog), log_before);  // no "Button2...": nothing was pressed
    MSG other{harness.Dialog(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_FALSE(harness.dialog->PreTranslateMessage(other));
}

}  // namespace
}  // namespace torvex::win32
