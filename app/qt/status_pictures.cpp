#include "app/qt/status_pictures.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <array>

#include "app/window_texts.h"

namespace torvex::qt {

namespace {

constexpr std::array<StatusPictureLook, 6> kLooks = {{
    {StatusPicture::Standby, StatusPictureWord(StatusPicture::Standby).data(), qRgb(0, 0, 255)},
    {StatusPicture::Fail, StatusPictureWord(StatusPicture::Fail).data(), qRgb(255, 0, 0)},
    {StatusPicture::Pass, StatusPictureWord(StatusPicture::Pass).data(), qRgb(0, 176, 0)},
    {StatusPicture::Ready, StatusPictureWord(StatusPicture::Ready).data(), qRgb(0, 100, 0)},
    {StatusPicture::Updating, StatusPictureWord(StatusPicture::Updating).data(), qRgb(150, 75, 0)},
    {StatusPicture::Complete, StatusPictureWord(StatusPicture::Complete).data(), qRgb(0, 176, 0)},
}};

// Largest bold font, up to 72 px, in which the word fits the picture with a margin.
QFont WordFont(const QString& word) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    const qreal room = kStatusPictureWidth - 32;
    for (int size = 72; size > 12; size -= 2) {
        font.setPixelSize(size);
        if (QFontMetricsF(font).horizontalAdvance(word) <= room) break;
    }
    return font;
}

}  // namespace

StatusPictureLook LookOf(StatusPicture picture) {
    for (const StatusPictureLook& look : kLooks) {
        if (look.picture == picture) return look;
    }
    return kLooks[0];
}

QPixmap RenderStatusPicture(StatusPicture picture, qreal device_pixel_ratio) {
    const StatusPictureLook look = LookOf(picture);
    const QString word = QString::fromUtf16(look.word);
    QPixmap pixmap(qRound(kStatusPictureWidth * device_pixel_ratio),
                   qRound(kStatusPictureHeight * device_pixel_ratio));
    pixmap.setDevicePixelRatio(device_pixel_ratio);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(WordFont(word));
    painter.setPen(QColor(look.colour));
    painter.drawText(QRectF(0, 0, kStatusPictureWidth, kStatusPictureHeight), Qt::AlignCenter,
                     word);
    return pixmap;
}

namespace {
// A blue chip with a white arrow pointing up into it: firmware going onto the product.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    QLinearGradient body(0, 0, 0, 32);
    body.setColorAt(0, QColor(40, 110, 210));
    body.setColorAt(1, QColor(10, 50, 140));
    painter.setPen(QPen(QColor(5, 30, 90), 1));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(3.5, 3.5, 25, 25), 4, 4);
    painter.setPen(QPen(QColor(200, 200, 200), 1.5));
    for (int pin = 0; pin < 4; ++pin) {
        const qreal x = 9 + pin * 5;
        painter.drawLine(QPointF(x, 0.5), QPointF(x, 3));
        painter.drawLine(QPointF(x, 29), QPointF(x, 31.5));
    }
    QPainterPath arrow;
    arrow.moveTo(16, 7);
    arrow.lineTo(24, 16);
    arrow.lineTo(19, 16);
    arrow.lineTo(19, 25);
    arrow.lineTo(13, 25);
    arrow.lineTo(13, 16);
    arrow.lineTo(8, 16);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    return pixmap;
}
}  // namespace

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(DrawIcon(size));
    return icon;
}

}  // namespace torvex::qt
