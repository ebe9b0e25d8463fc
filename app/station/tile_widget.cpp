#include "app/station/tile_widget.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>

#include "app/qt/status_pictures.h"

namespace torvex::station {

namespace {

constexpr int kPictureWidth = 144;
constexpr int kPictureHeight = 39;
constexpr int kMargin = 8;
constexpr int kLine = 16;

constexpr std::array<StatusPicture, 6> kPictures = {
    StatusPicture::Standby, StatusPicture::Fail,     StatusPicture::Pass,
    StatusPicture::Ready,   StatusPicture::Updating, StatusPicture::Complete};

// The window's six pictures, drawn once at a third of their size.
const QPixmap& SmallPicture(StatusPicture picture, qreal ratio) {
    static std::array<QPixmap, kPictures.size()> pictures;
    static qreal drawn_for = 0;
    if (drawn_for != ratio) {
        for (size_t i = 0; i < kPictures.size(); ++i) {
            const QPixmap full = qt::RenderStatusPicture(kPictures[i], ratio);
            pictures[i] = full.scaled(qRound(kPictureWidth * ratio), qRound(kPictureHeight * ratio),
                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            pictures[i].setDevicePixelRatio(ratio);
        }
        drawn_for = ratio;
    }
    const auto* found = std::find(kPictures.begin(), kPictures.end(), picture);
    return pictures[found == kPictures.end() ? 0 : size_t(found - kPictures.begin())];
}

QColor BandColour(const TileState& state) {
    if (state.phase == TilePhase::Ended || state.phase == TilePhase::Checking)
        return state.result == TileResult::Pass ? QColor(0, 160, 0) : QColor(210, 0, 0);
    if (state.phase == TilePhase::Updating) return QColor(200, 130, 0);
    if (state.phase == TilePhase::Unusable) return QColor(120, 120, 120);
    return QColor(40, 90, 200);
}

QString Elapsed(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return u"%1:%2"_qs.arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
}

}  // namespace

QString TileHeadline(const TileState& state) {
    switch (state.phase) {
        case TilePhase::Listing:
            return state.update_when_listed ? u"Reading, then updating"_qs : u"Reading"_qs;
        case TilePhase::Ready:
            return u"Ready"_qs;
        case TilePhase::Unusable:
            return u"Cannot update"_qs;
        case TilePhase::Updating:
            return u"Updating %1/7"_qs.arg(state.progress);
        case TilePhase::Checking:
        case TilePhase::Ended:
            return state.result == TileResult::Pass ? u"PASS"_qs : u"FAIL"_qs;
    }
    return {};
}

TileWidget::TileWidget(QWidget* parent) : QWidget(parent), update_(u"Update"_qs, this) {
    setFixedSize(kTileWidth, kTileHeight);
    update_.setGeometry(kTileWidth - 88, kTileHeight - 34, 80, 26);
    connect(&update_, &QPushButton::clicked, this, &TileWidget::UpdateRequested);
    setCursor(Qt::PointingHandCursor);
}

void TileWidget::Show(const TileState& state) {
    state_ = &state;
    const bool idle = state.phase == TilePhase::Ready || state.phase == TilePhase::Ended ||
                      state.phase == TilePhase::Unusable;
    update_.setEnabled(idle && state.present);
    const QString name = state.port + u": "_qs + TileHeadline(state);
    if (accessibleName() != name) setAccessibleName(name);
    update();
}

void TileWidget::paintEvent(QPaintEvent*) {
    if (!state_) return;
    const TileState& s = *state_;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(170, 170, 170));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect band(0, 0, width(), 24);
    painter.fillRect(band, BandColour(s));
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::white);
    painter.drawText(band.adjusted(kMargin, 0, -kMargin, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     s.port);
    painter.drawText(band.adjusted(kMargin, 0, -kMargin, 0), Qt::AlignVCenter | Qt::AlignRight,
                     TileHeadline(s));
    painter.setFont(font());
    painter.setPen(Qt::black);

    int y = 28;
    painter.drawPixmap(kMargin, y, SmallPicture(s.picture, devicePixelRatioF()));
    const int text_x = kMargin + kPictureWidth + 8;
    const int text_width = width() - text_x - kMargin;
    const QFontMetrics metrics(font());
    const auto line = [&](int row, const QString& text) {
        painter.drawText(QRect(text_x, y + row * kLine, text_width, kLine), Qt::AlignLeft,
                         metrics.elidedText(text, Qt::ElideRight, text_width));
    };
    line(0, u"SN "_qs + s.serial);
    line(1, s.code);
    // Progress, 0 to 7, under the picture.
    y += kPictureHeight + 6;
    const QRect bar(kMargin, y, kPictureWidth, 8);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    painter.fillRect(
        QRect(bar.x() + 1, bar.y() + 1, (bar.width() - 2) * s.progress / 7, bar.height() - 2),
        QColor(0, 120, 215));
    y += 14;
    const int full_width = width() - 2 * kMargin;
    const auto wide = [&](const QString& text) {
        painter.drawText(QRect(kMargin, y, full_width, kLine), Qt::AlignLeft,
                         metrics.elidedText(text, Qt::ElideRight, full_width));
        y += kLine;
    };
    wide(u"EF64 "_qs + s.ef64_bank.section(u' ', 0, 0) + u"   EF32_0 "_qs +
         s.ef32_bank.section(u' ', 0, 0));
    wide(s.last_line);
    // A failed tile tells the operator what to do: the runner's message box, else the reason.
    QString detail = s.phase == TilePhase::Unusable ? s.reason : QString();
    if (s.result == TileResult::Fail) detail = s.box.isEmpty() ? s.result_text : s.box;
    if (s.result == TileResult::Pass) detail = s.box.isEmpty() ? s.result_text : s.box;
    painter.setPen(s.result == TileResult::Fail ? QColor(190, 0, 0) : QColor(Qt::black));
    const QRect detail_rect(kMargin, y, full_width, height() - 36 - y);
    painter.drawText(detail_rect, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                     QString(detail).replace(u"\r\n"_qs, u" "_qs));
    painter.setPen(Qt::black);
    painter.drawText(QRect(kMargin, height() - 30, 100, kLine + 4), Qt::AlignLeft,
                     Elapsed(s.ElapsedMs()));
}

void TileWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit LogRequested();
}

}  // namespace torvex::station
