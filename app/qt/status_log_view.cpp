#include "app/qt/status_log_view.h"

#include <QAccessible>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextLayout>

#include "app/qt/status_log_accessible.h"

namespace torvex::qt {

namespace {
// Space around the text inside the frame, as a plain text edit leaves it.
constexpr int kMargin = 4;

}  // namespace

// A scroll bar that, while the view sets its range and value for new lines, repaints once at the
// end and only if what it draws changed. A log of many lines grows its range with every batch
// while the handle stays on the same pixels; repainting the bar each time cost more than drawing
// the new lines.
class StatusLogView::LogScrollBar : public QScrollBar {
  public:
    using QScrollBar::QScrollBar;

    void BeginAdjusting() { adjusting_ = true; }
    void EndAdjusting() {
        adjusting_ = false;
        if (Current() != painted_) update();
    }

  protected:
    void sliderChange(SliderChange change) override {
        if (!adjusting_) QScrollBar::sliderChange(change);
    }
    void paintEvent(QPaintEvent* event) override {
        painted_ = Current();
        QScrollBar::paintEvent(event);
    }

  private:
    struct Look {
        QRect handle;
        bool at_minimum = false;
        bool at_maximum = false;
        bool operator==(const Look&) const = default;
    };
    Look Current() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                value() == minimum(), value() == maximum()};
    }
    bool adjusting_ = false;
    Look painted_;
};

namespace {

QTextLine LayOut(QTextLayout& layout) {
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    return line;
}
}  // namespace

StatusLogView::StatusLogView(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallStatusLogAccessibleFactory();
    vertical_bar_ = new LogScrollBar(Qt::Vertical, this);
    setVerticalScrollBar(vertical_bar_);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    // Following the end stops when the user moves away from it, and resumes when they return.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!adjusting_scroll_bars_) follows_end_ = value >= verticalScrollBar()->maximum();
    });
    MeasureCharacters();
}

void StatusLogView::Append(QStringView text) {
    text_.append(text);
    if (show_queued_) return;
    show_queued_ = true;
    QMetaObject::invokeMethod(this, &StatusLogView::ShowPending, Qt::QueuedConnection);
}

void StatusLogView::ShowPending() {
    show_queued_ = false;
    const qsizetype shown_before = shown_length_;
    if (indexed_to_ == text_.size()) return;
    const int open_line = LineCount() - 1;
    IndexTo(text_.size());
    // Following the end scrolls what is already drawn; only the lines that grew or came are
    // painted, which keeps a pass as cheap as a line however many are in sight.
    UpdateScrollBars();
    const int spacing = fontMetrics().lineSpacing();
    const int top = kMargin + (open_line - verticalScrollBar()->value()) * spacing;
    viewport()->update(0, std::max(top, 0), viewport()->width(), viewport()->height());
    if (QAccessible::isActive()) {
        QAccessibleTextInsertEvent inserted(this, static_cast<int>(shown_before),
                                            ShownText(shown_before, shown_length_));
        QAccessible::updateAccessibility(&inserted);
    }
}

void StatusLogView::ClearLog() {
    if (QAccessible::isActive() && shown_length_ > 0) {
        QAccessibleTextRemoveEvent removed(this, 0, toPlainText());
        QAccessible::updateAccessibility(&removed);
    }
    text_.clear();
    ForgetIndex();
    anchor_ = cursor_ = 0;
    follows_end_ = true;
    UpdateScrollBars();
    viewport()->update();
}

// One pass over the new text: line starts, shown offsets and the width of each line. Widths of
// Latin-1 lines add up the characters' advances (a table look-up each); other lines are shaped.
void StatusLogView::IndexTo(qsizetype end) {
    const QChar* kept = text_.constData();
    for (qsizetype i = indexed_to_; i < end; ++i) {
        const char16_t c = kept[i].unicode();
        if (c == u'\n') {
            EndLine(i);
            line_starts_.push_back(i + 1);
            shown_starts_.push_back(++shown_length_);
        } else if (c != u'\r') {
            ++shown_length_;
            if (c < latin1_advance_.size()) {
                open_line_width_ += latin1_advance_[c];
            } else {
                open_line_needs_shaping_ = true;
            }
        }
    }
    indexed_to_ = end;
    // The open last line counts at its present width; it only grows until its LF arrives.
    widest_ = std::max(widest_, open_line_width_);
}

void StatusLogView::EndLine(qsizetype line_feed) {
    if (open_line_needs_shaping_) {
        const qsizetype start = line_starts_.back();
        const QString shown = text_.mid(start, line_feed - start).remove(u'\r');
        open_line_width_ = QFontMetricsF(text_font_).horizontalAdvance(shown, QTextOption());
    }
    widest_ = std::max(widest_, open_line_width_);
    open_line_width_ = 0;
    open_line_needs_shaping_ = false;
}

void StatusLogView::ForgetIndex() {
    indexed_to_ = 0;
    line_starts_.assign(1, 0);
    shown_starts_.assign(1, 0);
    shown_length_ = 0;
    widest_ = open_line_width_ = 0;
    open_line_needs_shaping_ = false;
}

void StatusLogView::Reindex() {
    const qsizetype end = indexed_to_;
    ForgetIndex();
    IndexTo(end);
    if (open_line_needs_shaping_) {
        widest_ = std::max(
            widest_,
            QFontMetricsF(text_font_).horizontalAdvance(ShownLine(LineCount() - 1), QTextOption()));
    }
}

void StatusLogView::MeasureCharacters() {
    text_font_ = font();
    // Latin lines need no shaping: drawn glyph by glyph they cost a fraction, and measure as the
    // advance table adds them up.
    text_font_.setStyleStrategy(QFont::PreferNoShaping);
    const QFontMetricsF metrics(text_font_);
    for (std::size_t c = 0; c < latin1_advance_.size(); ++c) {
        latin1_advance_[c] = metrics.horizontalAdvance(QChar(static_cast<char16_t>(c)));
    }
}

qsizetype StatusLogView::KeptLineEnd(int line) const {
    const auto next = static_cast<std::size_t>(line) + 1;
    return next < line_starts_.size() ? line_starts_[next] - 1 : indexed_to_;
}

qsizetype StatusLogView::LineLength(int line) const {
    const auto next = static_cast<std::size_t>(line) + 1;
    const qsizetype end = next < shown_starts_.size() ? shown_starts_[next] - 1 : shown_length_;
    return end - shown_starts_[static_cast<std::size_t>(line)];
}

QString StatusLogView::ShownLine(int line) const {
    const qsizetype start = line_starts_[static_cast<std::size_t>(line)];
    QString shown = text_.mid(start, KeptLineEnd(line) - start);
    if (shown.size() != LineLength(line)) shown.remove(u'\r');
    return shown;
}

int StatusLogView::LineAtOffset(qsizetype offset) const {
    const auto after = std::upper_bound(shown_starts_.begin(), shown_starts_.end(), offset);
    return static_cast<int>(std::max<std::ptrdiff_t>(after - shown_starts_.begin() - 1, 0));
}

QString StatusLogView::ShownText(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, shown_length_);
    to = std::clamp<qsizetype>(to, from, shown_length_);
    QString shown;
    shown.reserve(to - from);
    for (int line = LineAtOffset(from); line < LineCount() && LineStartOffset(line) < to; ++line) {
        const qsizetype start = LineStartOffset(line);
        const qsizetype length = LineLength(line);
        const qsizetype first = std::max(from - start, qsizetype{0});
        const qsizetype last = std::min(to - start, length);
        if (last > first) shown.append(QStringView(ShownLine(line)).mid(first, last - first));
        if (to - start > length) shown.append(u'\n');
    }
    return shown;
}

int StatusLogView::VisibleLines() const {
    const int spacing = std::max(fontMetrics().lineSpacing(), 1);
    return std::max((viewport()->height() - 2 * kMargin) / spacing, 1);
}

void StatusLogView::UpdateScrollBars() {
    adjusting_scroll_bars_ = true;
    vertical_bar_->BeginAdjusting();
    QScrollBar* vertical = vertical_bar_;
    const int visible = VisibleLines();
    vertical->setRange(0, std::max(LineCount() - visible, 0));
    vertical->setPageStep(visible);
    QScrollBar* horizontal = horizontalScrollBar();
    const int content = static_cast<int>(std::ceil(widest_)) + 2 * kMargin;
    horizontal->setRange(0, std::max(content - viewport()->width(), 0));
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(std::max(fontMetrics().averageCharWidth() * 2, 1));
    if (follows_end_) vertical->setValue(vertical->maximum());
    vertical_bar_->EndAdjusting();
    adjusting_scroll_bars_ = false;
}

// The scroll bars count lines vertically and pixels horizontally.
void StatusLogView::scrollContentsBy(int dx, int dy) {
    viewport()->scroll(dx, dy * fontMetrics().lineSpacing());
}

void StatusLogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

bool StatusLogView::event(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        MeasureCharacters();
        Reindex();
        UpdateScrollBars();
        viewport()->update();
    }
    return QAbstractScrollArea::event(event);
}

// From the line whose foot shows in the top margin (as scrolling leaves it) to the last in sight.
void StatusLogView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(text_font_);
    const int spacing = std::max(fontMetrics().lineSpacing(), 1);
    const int value = verticalScrollBar()->value();
    const int from_margin = event->rect().top() - kMargin;
    const int skipped = from_margin < 0 ? -1 - (-from_margin - 1) / spacing : from_margin / spacing;
    int line = std::max(value + skipped, 0);
    for (int y = kMargin + (line - value) * spacing;
         line < LineCount() && y <= event->rect().bottom(); ++line, y += spacing) {
        DrawLine(painter, line, y);
    }
}

// A line, and over it the selected part in the highlight colours.
void StatusLogView::DrawLine(QPainter& painter, int line, int y) const {
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const QString shown = ShownLine(line);
    const int x = kMargin - horizontalScrollBar()->value();
    const int height = fontMetrics().lineSpacing();
    const int baseline = y + fontMetrics().ascent();
    painter.setPen(palette().color(group, QPalette::Text));
    painter.drawText(x, baseline, shown);

    const qsizetype start = LineStartOffset(line);
    const qsizetype first = std::clamp(SelectionStart() - start, qsizetype{0}, shown.size());
    const qsizetype last = std::clamp(SelectionEnd() - start, qsizetype{0}, shown.size() + 1);
    if (last <= first) return;
    QTextLayout layout(shown, text_font_);
    const QTextLine laid_out = LayOut(layout);
    const qreal left = laid_out.cursorToX(static_cast<int>(first));
    // A selection that goes on past the line end shows as a space's width after the text.
    const qreal right = last > shown.size() ? laid_out.cursorToX(static_cast<int>(shown.size())) +
                                                  fontMetrics().horizontalAdvance(u' ')
                                            : laid_out.cursorToX(static_cast<int>(last));
    const QRectF band(x + left, y, right - left, height);
    painter.save();
    painter.fillRect(band, palette().color(group, QPalette::Highlight));
    painter.setClipRect(band);
    painter.setPen(palette().color(group, QPalette::HighlightedText));
    painter.drawText(x, baseline, shown);
    painter.restore();
}

QRect StatusLogView::OffsetRect(qsizetype offset) const {
    offset = std::clamp<qsizetype>(offset, 0, shown_length_);
    const int line = LineAtOffset(offset);
    const QString shown = ShownLine(line);
    QTextLayout layout(shown, text_font_);
    const QTextLine laid_out = LayOut(layout);
    const auto column = static_cast<int>(offset - LineStartOffset(line));
    const int left = static_cast<int>(laid_out.cursorToX(column));
    const int right = column < shown.size() ? static_cast<int>(laid_out.cursorToX(column + 1))
                                            : left + fontMetrics().horizontalAdvance(u' ');
    const int spacing = fontMetrics().lineSpacing();
    const int x = kMargin - horizontalScrollBar()->value();
    const int y = kMargin + (line - verticalScrollBar()->value()) * spacing;
    return {x + left, y, std::max(right - left, 1), spacing};
}

qsizetype StatusLogView::OffsetAt(QPoint viewport_point) const {
    const int spacing = std::max(fontMetrics().lineSpacing(), 1);
    const int row = viewport_point.y() - kMargin;
    const int below = row < 0 ? -1 - (-row - 1) / spacing : row / spacing;
    const int line = std::clamp(verticalScrollBar()->value() + below, 0, LineCount() - 1);
    QTextLayout layout(ShownLine(line), text_font_);
    const QTextLine laid_out = LayOut(layout);
    const qreal x = viewport_point.x() - kMargin + horizontalScrollBar()->value();
    return LineStartOffset(line) + laid_out.xToCursor(x, QTextLine::CursorBetweenCharacters);
}

void StatusLogView::ScrollToOffset(qsizetype offset) {
    const int line = LineAtOffset(offset);
    QScrollBar* vertical = verticalScrollBar();
    if (line < vertical->value()) vertical->setValue(line);
    if (line >= vertical->value() + VisibleLines()) vertical->setValue(line - VisibleLines() + 1);
}

}  // namespace torvex::qt
