#pragma once
// Dialog template 102, the main window's layout: every control at its id, text and rectangle (in
// dialog units), with the visibility and enabling it starts with. Ids are kept on the widgets as
// the object name "control<id>" and the property "controlId".

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <array>
#include <string_view>

#include "app/qt/dialog_units.h"
#include "app/qt/status_log_view.h"
#include "app/qt/status_picture_button.h"

namespace torvex::qt {

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

// The template's client size in dialog units.
inline constexpr int kTemplateWidthDu = 391;
inline constexpr int kTemplateHeightDu = 326;

enum class ControlKind {
    StatusPicture,  // owner-drawn push button
    PushButton,
    ProgressBar,
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
    const char* name;  // object name of the static labels (the others are named by id)
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

// The controls the window's code works with.
struct Template102Controls {
    StatusPictureButton* status_picture = nullptr;
    QPushButton* update_fw = nullptr;
    QProgressBar* progress = nullptr;
    QLineEdit* secondary_log = nullptr;
    QLineEdit* firmware_path = nullptr;
    QPushButton* browse = nullptr;
    QLineEdit* second_path = nullptr;
    QPushButton* browse_second = nullptr;
    StatusLogView* status_log = nullptr;
    QPushButton* test = nullptr;
    QPushButton* clear = nullptr;
};

// Creates every control of the template on the dialog, in template order (which is also the
// tab order), and sizes the dialog to the template.
Template102Controls CreateTemplate102(QWidget* dialog);

}  // namespace torvex::qt
