#pragma once
// Dialog template 102 as widgets, from the toolkit-free table of the template. Ids are kept on the
// widgets as the object name "control<id>" and the property "controlId".

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include "app/dialog_templates.h"
#include "app/qt/dialog_units.h"
#include "app/qt/status_log_view.h"
#include "app/qt/status_picture_button.h"

namespace torvex::qt {

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
    StatusLogView* status_log = nullptr;  // id 1004: the exact text the tool appended
    QPushButton* test = nullptr;
    QPushButton* clear = nullptr;
};

// Creates every control of the template on the dialog, in template order (which is also the
// tab order), and sizes the dialog to the template.
Template102Controls CreateTemplate102(QWidget* dialog);

}  // namespace torvex::qt
