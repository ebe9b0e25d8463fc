// The status log view's selection and what the keyboard and the mouse do with it.
#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include "app/qt/status_log_view.h"

namespace torvex::qt {

void StatusLogView::Select(qsizetype anchor, qsizetype cursor) {
    anchor = std::clamp<qsizetype>(anchor, 0, shown_length_);
    cursor = std::clamp<qsizetype>(cursor, 0, shown_length_);
    if (anchor == anchor_ && cursor == cursor_) return;
    anchor_ = anchor;
    cursor_ = cursor;
    viewport()->update();
    NotifySelection();
}

void StatusLogView::SelectAll() {
    Select(0, shown_length_);
}

void StatusLogView::Copy() const {
    if (SelectionEnd() > SelectionStart()) QGuiApplication::clipboard()->setText(SelectedText());
}

void StatusLogView::NotifySelection() const {
    if (!QAccessible::isActive()) return;
    QAccessibleTextSelectionEvent changed(const_cast<StatusLogView*>(this),
                                          static_cast<int>(SelectionStart()),
                                          static_cast<int>(SelectionEnd()));
    changed.setCursorPosition(static_cast<int>(cursor_));
    QAccessible::updateAccessibility(&changed);
}

// Scrolling keys move the view, not a text cursor: a log is read, not edited. Keys the view
// does not use go on to the window.
void StatusLogView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        Copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
        case Qt::Key_Up:
            vertical->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case Qt::Key_Down:
            vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case Qt::Key_PageUp:
            vertical->triggerAction(QAbstractSlider::SliderPageStepSub);
            break;
        case Qt::Key_PageDown:
            vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
            break;
        case Qt::Key_Left:
            horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case Qt::Key_Right:
            horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case Qt::Key_Home:
            (control ? vertical : horizontal)->triggerAction(QAbstractSlider::SliderToMinimum);
            break;
        case Qt::Key_End:
            (control ? vertical : horizontal)->triggerAction(QAbstractSlider::SliderToMaximum);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void StatusLogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const qsizetype at = OffsetAt(event->position().toPoint());
    const bool extend = event->modifiers().testFlag(Qt::ShiftModifier);
    Select(extend ? anchor_ : at, at);
    selecting_ = true;
}

// Dragging past the top or the bottom scrolls a line per move, so a selection can reach lines
// out of sight.
void StatusLogView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || !event->buttons().testFlag(Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    if (at.y() < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (at.y() >= viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    Select(anchor_, OffsetAt(at));
}

void StatusLogView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    selecting_ = false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && SelectionEnd() > SelectionStart()) {
        clipboard->setText(SelectedText(), QClipboard::Selection);
    }
}

// A double click selects the word under the pointer (letters and digits, or one other
// character).
void StatusLogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const qsizetype at = OffsetAt(event->position().toPoint());
    const int line = LineAtOffset(at);
    const QString shown = ShownLine(line);
    const qsizetype start = LineStartOffset(line);
    qsizetype first = std::min(at - start, shown.size());
    qsizetype last = first;
    const auto in_word = [&](qsizetype i) { return shown[i].isLetterOrNumber(); };
    while (first > 0 && in_word(first - 1)) --first;
    while (last < shown.size() && in_word(last)) ++last;
    if (first == last && last < shown.size()) ++last;
    Select(start + first, start + last);
}

void StatusLogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, &StatusLogView::Copy);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(SelectionEnd() > SelectionStart());
    QAction* select_all = menu.addAction(tr("Select All"), this, &StatusLogView::SelectAll);
    select_all->setShortcut(QKeySequence::SelectAll);
    select_all->setEnabled(shown_length_ > 0);
    menu.exec(event->globalPos());
}

}  // namespace torvex::qt
