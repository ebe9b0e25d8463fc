#pragma once
// The six status pictures (432 x 117 pixels: a word in its colour on white) and the tool's icon,
// drawn by the program rather than loaded from files, crisp at any device pixel ratio.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include "base/window_port.h"

namespace torvex::qt {

inline constexpr int kStatusPictureWidth = 432;
inline constexpr int kStatusPictureHeight = 117;

struct StatusPictureLook {
    StatusPicture picture;
    const char16_t* word;
    QRgb colour;
};

// The word and colour a picture shows.
StatusPictureLook LookOf(StatusPicture picture);

// The picture at 432 x 117 logical pixels for the given device pixel ratio.
QPixmap RenderStatusPicture(StatusPicture picture, qreal device_pixel_ratio);

// Icon 128: drawn at the sizes the caption, the task bar and the boxes use.
QIcon ApplicationIcon();

}  // namespace torvex::qt
