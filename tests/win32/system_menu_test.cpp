// The system menu's About and Help entries and the boxes they open.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "app/win32/win32_text.h"
#include "app/window_texts.h"
#include "tests/win32/window_harness.h"

namespace torvex::win32 {
namespace {

using testing::BoxCloser;
using testing::WindowHarness;

std::u16string ItemText(HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return FromWide(text);
}

TEST(SystemMenu, EndsWithAboutAndHelpEachAfterASeparator) {
    WindowHarness harness(std::nullopt);
    HMENU menu = GetSystemMenu(harness.Dialog(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 4);
    EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(count - 4), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(GetMenuItemID(menu, count - 3), static_cast<UINT>(kAboutCommandId));
    EXPECT_EQ(ItemText(menu, count - 3), kAboutMenuText);
    EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(kHelpCommandId));
    EXPECT_EQ(ItemText(menu, count - 1), kHelpMenuText);
}

TEST(SystemMenu, CommandsOpenTheirBoxes) {
    struct Case {
        WPARAM command;
        std::u16string_view caption;
        std::vector<std::u16string_view> texts;
    };
    std::vector<std::u16string_view> help_texts(kHelpLines.begin(), kHelpLines.end());
    const Case cases[] = {
        {17, kHelpCaption, help_texts},
        {16, kAboutCaption, {kAboutLine, kOkText}},
        {31, kAboutCaption, {kAboutLine, kOkText}},  // the low four bits are the system's
    };
    WindowHarness harness(std::nullopt);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        BoxCloser closer(harness.Dialog());
        SendMessageW(harness.Dialog(), WM_SYSCOMMAND, c.command, 0);
        ASSERT_EQ(closer.Seen().size(), 1u);
        EXPECT_EQ(closer.Seen()[0].caption, c.caption);
        const auto& seen = closer.Seen()[0].texts;
        for (std::u16string_view text : c.texts) {
            EXPECT_NE(std::find(seen.begin(), seen.end(), text), seen.end())
                << "missing: " << std::string(text.begin(), text.end());
        }
    }
}

}  // namespace
}  // namespace torvex::win32
