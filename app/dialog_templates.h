#pragma once
// The window's dialog templates without any toolkit: template 102 (the main window) with every
// control at its id, text and rectangle in dialog units and the visibility and enabling it starts
// with, and the layout of the About (100) and Help (104) boxes. The Qt window builds its widgets
// from these tables; the Windows window's resource script states the same and its tests hold it
// to these tables.

#include <array>
#include <string_view>

namespace torvex {

inline constexpr int kIdStaticText = -1;
inline constexpr int kIdFirmwarePath = 1000;
inline constexpr int kIdBrowse = 1001;
inline constexpr int kIdSecondPath = 1002;
inline constexpr int kIdBrowseSecond = 1003;
inline constexpr int kIdStatusLog = 1004;
inline constexpr int kIdUpdateFw = 1005;
inline constexpr int kIdUpdateGui = 1006;
inline constexpr int kIdTest = 1009;
inline constexpr int kIdStatusPicture = 1011;
inline constexpr int kIdClear = 1016;
inline constexpr int kIdProgress = 1017;
inline constexpr int kIdSecondaryLog = 1018;

// Template ids of the three dialogs and of the icon.
inline constexpr int kMainDialogTemplate = 102;
inline constexpr int kAboutBoxTemplate = 100;
inline constexpr int kHelpBoxTemplate = 104;
inline constexpr int kIconResource = 128;

// The main template's client size in dialog units.
inline constexpr int kTemplateWidthDu = 391;
inline constexpr int kTemplateHeightDu = 326;

// A control rectangle given as x, y, width, height in dialog units.
struct DialogRect {
    int x;
    int y;
    int width;
    int height;
};

enum class ControlKind {
    StatusPicture,  // owner-drawn push button
    PushButton,
    ProgressBar,     // bordered
    BorderlessEdit,  // read-only single line, no border
    Label,
    ReadOnlyEdit,  // read-only single line with border
    MultiLineLog,  // the status log
};

struct ControlSpec {
    int id;
    ControlKind kind;
    std::u16string_view text;
    DialogRect rect;
    bool visible;
    bool enabled;
    const char* name;  // name of the static labels (the others are known by id)
};

inline constexpr std::array<ControlSpec, 14> kTemplate102 = {{
    {kIdStatusPicture, ControlKind::StatusPicture, u"Button6", {7, 8, 288, 71}, true, true, ""},
    {kIdUpdateFw, ControlKind::PushButton, u"Update F/W", {301, 8, 83, 71}, true, true, ""},
    {kIdProgress, ControlKind::ProgressBar, u"", {7, 85, 377, 14}, true, true, ""},
    {kIdSecondaryLog, ControlKind::BorderlessEdit, u"", {7, 103, 93, 14}, false, true, ""},
    {kIdStaticText,
     ControlKind::Label,
     u"F/W file:",
     {7, 128, 28, 8},
     true,
     true,
     "labelFirmwareFile"},
    {kIdFirmwarePath, ControlKind::ReadOnlyEdit, u"", {42, 126, 278, 14}, true, true, ""},
    {kIdBrowse, ControlKind::PushButton, u"Browse", {335, 126, 50, 14}, true, true, ""},
    {kIdSecondPath, ControlKind::ReadOnlyEdit, u"", {42, 144, 278, 14}, false, false, ""},
    {kIdBrowseSecond, ControlKind::PushButton, u"Browse", {334, 144, 50, 14}, false, false, ""},
    {kIdStaticText, ControlKind::Label, u"Status", {7, 149, 22, 8}, true, true, "labelStatus"},
    {kIdStatusLog, ControlKind::MultiLineLog, u"", {7, 163, 267, 154}, true, true, ""},
    {kIdTest, ControlKind::PushButton, u"TEST", {336, 172, 50, 14}, true, true, ""},
    {kIdClear, ControlKind::PushButton, u"Clear", {336, 193, 50, 14}, true, true, ""},
    {kIdUpdateGui, ControlKind::PushButton, u"Update GUI", {309, 214, 75, 24}, false, false, ""},
}};

// About box (template 100): the icon, one line and OK (id 1).
inline constexpr int kAboutWidthDu = 170;
inline constexpr int kAboutHeightDu = 62;
inline constexpr DialogRect kAboutIconRect = {14, 14, 21, 20};
inline constexpr DialogRect kAboutLineRect = {42, 14, 114, 10};
inline constexpr DialogRect kAboutOkRect = {113, 41, 50, 14};

// Help box (template 104): the icon and five lines, the last one wrapped.
inline constexpr int kHelpWidthDu = 191;
inline constexpr int kHelpHeightDu = 97;
inline constexpr DialogRect kHelpIconRect = {7, 7, 21, 20};
inline constexpr std::array<DialogRect, 5> kHelpLineRects = {{
    {35, 8, 150, 10},
    {35, 21, 150, 10},
    {35, 32, 150, 10},
    {35, 43, 150, 10},
    {35, 54, 150, 38},
}};

}  // namespace torvex
