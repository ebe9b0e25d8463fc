#pragma once
// The status picture (id 1011): an owner-drawn button that shows one picture and nothing else,
// whatever its state. Loading a picture does not paint it; Invalidate does, as in the window it
// reproduces (start-up only loads). Its accessible name is the word the picture shows, so a
// screen reader tells the operator the outcome.

#include <QAbstractButton>

#include "base/window_port.h"

namespace torvex::qt {

class StatusPictureButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit StatusPictureButton(QWidget* parent = nullptr);

    void Load(StatusPicture picture);
    void Invalidate() { update(); }
    StatusPicture Loaded() const { return loaded_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    StatusPicture loaded_ = StatusPicture::Standby;
};

}  // namespace torvex::qt
