#pragma once
// A read-only log view for a text that only ever grows at its end (or is cleared). Its content is
// the exact text appended, CR LF line ends and any lone CR included; it shows one line per LF, a
// CR showing as nothing. The view keeps no per-line objects: an index of where each line starts
// in the kept text, and it draws only the lines in sight, so a line costs the same however long
// the log is. Lines reach the view in one batch when the event loop next runs; a burst of lines
// during a blocking operation costs one pass instead of one per line.
//
// What users expect of a log: select with the mouse, copy (Ctrl+C, the context menu), select all
// (Ctrl+A); the view follows the end unless the user scrolled up, and follows again once they
// scroll back to the end; arrows, PgUp/PgDn, Ctrl+Home/End and the wheel scroll. Screen readers
// read it through the accessible text interface (status_log_accessible.h).
//
// Offsets ("shown offsets") count the shown text: the kept text without its CRs, lines joined
// by LF, as toPlainText() gives it.

#include <QAbstractScrollArea>
#include <QFont>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <array>
#include <vector>

namespace torvex::qt {

class StatusLogView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit StatusLogView(QWidget* parent = nullptr);

    void Append(QStringView text);
    // The log becomes empty.
    void ClearLog();
    // The log's content, exactly as appended.
    const QString& Text() const { return text_; }
    // Shows the lines appended since the last time; follows the end unless scrolled up.
    void ShowPending();

    // What the view shows: the text without CRs, one LF per line end.
    QString toPlainText() const { return ShownText(0, ShownLength()); }
    int LineCount() const { return static_cast<int>(line_starts_.size()); }
    qsizetype ShownLength() const { return shown_length_; }
    // The shown text of [from, to); offsets are clamped to the shown text.
    QString ShownText(qsizetype from, qsizetype to) const;
    QString ShownLine(int line) const;
    int LineAtOffset(qsizetype offset) const;
    qsizetype LineStartOffset(int line) const { return shown_starts_[static_cast<size_t>(line)]; }
    qsizetype LineLength(int line) const;

    // The selection, as shown offsets: anchor where it began, cursor where it ends (either order).
    qsizetype SelectionStart() const { return std::min(anchor_, cursor_); }
    qsizetype SelectionEnd() const { return std::max(anchor_, cursor_); }
    qsizetype CursorOffset() const { return cursor_; }
    void Select(qsizetype anchor, qsizetype cursor);
    QString SelectedText() const { return ShownText(SelectionStart(), SelectionEnd()); }
    void SelectAll();
    void Copy() const;
    // True while the view keeps the last line in sight as lines arrive.
    bool FollowsEnd() const { return follows_end_; }

    // Where a shown offset is drawn, in viewport coordinates (the line's height), and back.
    QRect OffsetRect(qsizetype offset) const;
    qsizetype OffsetAt(QPoint viewport_point) const;
    void ScrollToOffset(qsizetype offset);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void IndexTo(qsizetype end);
    void EndLine(qsizetype line_feed);
    // Back to an index of no text (the text itself is kept).
    void ForgetIndex();
    void Reindex();
    void MeasureCharacters();
    void UpdateScrollBars();
    int VisibleLines() const;
    qsizetype KeptLineEnd(int line) const;
    void DrawLine(class QPainter& painter, int line, int y) const;
    void NotifySelection() const;

    class LogScrollBar;
    LogScrollBar* vertical_bar_ = nullptr;
    QString text_;
    qsizetype indexed_to_ = 0;                // kept text up to here is in the index and shown
    std::vector<qsizetype> line_starts_{0};   // where each line starts in the kept text
    std::vector<qsizetype> shown_starts_{0};  // where each line starts in the shown text
    qsizetype shown_length_ = 0;
    // Width of the widest line, and of the line still open at the end, in pixels.
    qreal widest_ = 0;
    qreal open_line_width_ = 0;
    bool open_line_needs_shaping_ = false;
    QFont text_font_;                          // the widget's font, drawn without shaping
    std::array<qreal, 256> latin1_advance_{};  // advances of the first 256 characters
    qsizetype anchor_ = 0;
    qsizetype cursor_ = 0;
    bool follows_end_ = true;
    bool adjusting_scroll_bars_ = false;
    bool show_queued_ = false;
    bool selecting_ = false;
};

}  // namespace torvex::qt
