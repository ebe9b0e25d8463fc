#include "app/qt/status_picture_button.h"

#include <QPainter>

#include "app/qt/status_pictures.h"
#include "app/qt/ui_text.h"
#include "app/window_texts.h"

namespace torvex::qt {

StatusPictureButton::StatusPictureButton(QWidget* parent) : QAbstractButton(parent) {
    // The picture is drawn at the button's top-left corner and clipped to the button, like a
    // bitmap blitted into an owner-drawn button.
    setAttribute(Qt::WA_OpaquePaintEvent);
    Load(loaded_);
}

void StatusPictureButton::Load(StatusPicture picture) {
    loaded_ = picture;
    // Whatever paints next shows this picture; a screen reader hears of a change at once, and
    // only of a change (the timer loads the same picture every second).
    const QString word = ToQString(StatusPictureWord(picture));
    if (accessibleName() != word) setAccessibleName(word);
}

QSize StatusPictureButton::sizeHint() const {
    return {kStatusPictureWidth, kStatusPictureHeight};
}

void StatusPictureButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawPixmap(0, 0, RenderStatusPicture(loaded_, devicePixelRatioF()));
}

}  // namespace torvex::qt
