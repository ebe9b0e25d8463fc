#include "app/qt/dialog_template.h"

#include <QLabel>
#include <QVariant>

#include "app/qt/ui_text.h"

namespace torvex::qt {

namespace {

QPushButton* NewPushButton(QWidget* dialog, const QString& text) {
    auto* button = new QPushButton(text, dialog);
    // Enter never presses a button of this window.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLineEdit* NewLineEdit(QWidget* dialog, bool framed) {
    auto* edit = new QLineEdit(dialog);
    edit->setReadOnly(true);
    edit->setFrame(framed);
    return edit;
}

QWidget* NewControl(QWidget* dialog, const ControlSpec& control) {
    const QString text = ToQString(control.text);
    switch (control.kind) {
        case ControlKind::StatusPicture: {
            auto* picture = new StatusPictureButton(dialog);
            picture->setText(text);
            return picture;
        }
        case ControlKind::PushButton:
            return NewPushButton(dialog, text);
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(dialog);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::BorderlessEdit:
            return NewLineEdit(dialog, false);
        case ControlKind::Label:
            return new QLabel(text, dialog);
        case ControlKind::ReadOnlyEdit:
            return NewLineEdit(dialog, true);
        case ControlKind::MultiLineLog:
            return new StatusLogView(dialog);
    }
    return nullptr;
}

template <typename Widget>
Widget* As(QWidget* widget) {
    return static_cast<Widget*>(widget);
}

void Remember(Template102Controls& controls, int id, QWidget* widget) {
    switch (id) {
        case kIdStatusPicture:
            controls.status_picture = As<StatusPictureButton>(widget);
            break;
        case kIdUpdateFw:
            controls.update_fw = As<QPushButton>(widget);
            break;
        case kIdProgress:
            controls.progress = As<QProgressBar>(widget);
            break;
        case kIdSecondaryLog:
            controls.secondary_log = As<QLineEdit>(widget);
            break;
        case kIdFirmwarePath:
            controls.firmware_path = As<QLineEdit>(widget);
            break;
        case kIdBrowse:
            controls.browse = As<QPushButton>(widget);
            break;
        case kIdSecondPath:
            controls.second_path = As<QLineEdit>(widget);
            break;
        case kIdBrowseSecond:
            controls.browse_second = As<QPushButton>(widget);
            break;
        case kIdStatusLog:
            controls.status_log = As<StatusLogView>(widget);
            break;
        case kIdTest:
            controls.test = As<QPushButton>(widget);
            break;
        case kIdClear:
            controls.clear = As<QPushButton>(widget);
            break;
        default:
            break;
    }
}

}  // namespace

Template102Controls CreateTemplate102(QWidget* dialog) {
    Template102Controls controls;
    QWidget* previous = nullptr;
    for (const ControlSpec& control : kTemplate102) {
        QWidget* widget = NewControl(dialog, control);
        widget->setObjectName(control.id == kIdStaticText
                                  ? QString::fromLatin1(control.name)
                                  : QStringLiteral("control%1").arg(control.id));
        widget->setProperty("controlId", control.id);
        widget->setGeometry(DialogRectToPixels(control.rect));
        widget->setVisible(control.visible);
        widget->setEnabled(control.enabled);
        if (previous != nullptr) QWidget::setTabOrder(previous, widget);
        previous = widget;
        Remember(controls, control.id, widget);
    }
    dialog->setFixedSize(DialogSizeToPixels(kTemplateWidthDu, kTemplateHeightDu));
    return controls;
}

}  // namespace torvex::qt
