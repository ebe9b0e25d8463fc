#pragma once
// An icon file (.ico) holding several sizes of one picture: each image 32-bit with its alpha
// channel, stored as a device-independent bitmap up to 128 pixels and as PNG above, which is how
// Windows reads the large sizes.

#include <QByteArray>
#include <QImage>
#include <QList>

namespace torvex::qt {

QByteArray IconFile(const QList<QImage>& images);

}  // namespace torvex::qt
