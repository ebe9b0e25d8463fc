// torvex-picture-export DIR: writes the six status pictures as 432 x 117 24-bit bitmaps
// (status_<id>.bmp) and the icon (torvex-isp.ico) for the Windows window's resources, drawn by
// the Qt window's own code. Run it with QT_QPA_PLATFORM=offscreen where there is no display.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <array>
#include <cstdio>

#include "app/qt/picture_export/icon_file.h"
#include "app/qt/status_pictures.h"

namespace {

constexpr std::array<torvex::StatusPicture, 6> kPictures = {
    torvex::StatusPicture::Standby,  torvex::StatusPicture::Fail,
    torvex::StatusPicture::Pass,     torvex::StatusPicture::Ready,
    torvex::StatusPicture::Updating, torvex::StatusPicture::Complete};

constexpr std::array<int, 6> kIconSizes = {16, 24, 32, 48, 64, 256};

bool WritePictures(const QDir& dir) {
    for (torvex::StatusPicture picture : kPictures) {
        // RGB32 has no alpha channel, so the bitmap is written with 24 bits per pixel.
        const QImage image = torvex::qt::RenderStatusPicture(picture, 1.0)
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        const QString name = QStringLiteral("status_%1.bmp").arg(static_cast<int>(picture));
        if (!image.save(dir.filePath(name), "BMP")) return false;
    }
    return true;
}

bool WriteIcon(const QDir& dir) {
    const QIcon icon = torvex::qt::ApplicationIcon();
    QList<QImage> images;
    for (int size : kIconSizes) images << icon.pixmap(QSize(size, size)).toImage();
    QFile file(dir.filePath(QStringLiteral("torvex-isp.ico")));
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = torvex::qt::IconFile(images);
    return file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: torvex-picture-export DIR\n");
        return 64;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path()) || !WritePictures(dir) || !WriteIcon(dir)) {
        std::fprintf(stderr, "torvex-picture-export: cannot write to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
