#pragma once
// The window's own texts, exactly as the tool shows them (the quotation marks in the Help lines
// are part of the text: U+201C opens, a straight mark closes).

#include <array>
#include <string_view>

#include "base/window_port.h"

namespace torvex {

inline constexpr std::u16string_view kDialogCaption = u"Torvex_31_V010_1";

// Menu strings 101 and 102; the About entry is added only when its string is not empty.
inline constexpr int kAboutMenuString = 101;
inline constexpr int kHelpMenuString = 102;
inline constexpr std::u16string_view kAboutMenuText = u"About Torvex_31_V010_1.exe...";
inline constexpr std::u16string_view kHelpMenuText = u"Help";

// Command ids of the two entries, as the window's system menu numbers them.
inline constexpr int kAboutCommandId = 16;
inline constexpr int kHelpCommandId = 17;

inline constexpr std::u16string_view kAboutCaption = u"About Torvex_31_V010_1.exe";
inline constexpr std::u16string_view kAboutLine = u"Torvex_31_V010, Version 001";
inline constexpr std::u16string_view kOkText = u"OK";

inline constexpr std::u16string_view kHelpCaption = u"Help";
inline constexpr std::array<std::u16string_view, 5> kHelpLines = {
    u"Update Product Firmware Steps",
    u"Step 1: Connect the product to PC",
    u"Step 2: Check Tool Show \"Ready\"",
    u"Step 3: Click \u201CUpdate F/W\"  button",
    u"Step 4: Finish when \u201CPASS\" word is display in update tool (If \u201CFAIL\" word "
    u"display in update tool, please try again above steps.)",
};

// Browse: the file-open dialog's settings, in the platform's filter notation.
inline constexpr std::u16string_view kBrowseDefaultExtension = u".binx|";
inline constexpr std::u16string_view kBrowseInitialName = u"*.binx";
inline constexpr std::u16string_view kBrowseFilter =
    u"Image file(*.BINX)|*.BINX|All files(*.*)|*.*||";
inline constexpr std::u16string_view kBrowseSecondDefaultExtension = u"";
inline constexpr std::u16string_view kBrowseSecondInitialName = u"*.*";
inline constexpr std::u16string_view kBrowseSecondFilter = u"All files(*.*)|*.*||";

// The word each status picture shows, which is also what the picture says to a screen reader.
constexpr std::u16string_view StatusPictureWord(StatusPicture picture) {
    switch (picture) {
        case StatusPicture::Standby:
            return u"Standby";
        case StatusPicture::Fail:
            return u"FAIL";
        case StatusPicture::Pass:
            return u"PASS";
        case StatusPicture::Ready:
            return u"Ready";
        case StatusPicture::Updating:
            return u"Updating...";
        case StatusPicture::Complete:
            return u"Update complete!";
    }
    return u"";
}

}  // namespace torvex
