#include "app/qt/status_log_accessible.h"

#include "app/qt/status_log_view.h"

namespace torvex::qt {

namespace {
// Lines and paragraphs are the same in a log: it never wraps.
bool ByLine(QAccessible::TextBoundaryType boundary) {
    return boundary == QAccessible::LineBoundary || boundary == QAccessible::ParagraphBoundary;
}

QAccessibleInterface* BuildForStatusLog(const QString&, QObject* object) {
    auto* view = qobject_cast<StatusLogView*>(object);
    return view ? new StatusLogAccessible(view) : nullptr;
}
}  // namespace

void InstallStatusLogAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(&BuildForStatusLog);
        return true;
    }();
    (void)installed;
}

StatusLogAccessible::StatusLogAccessible(StatusLogView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

StatusLogView* StatusLogAccessible::View() const {
    return static_cast<StatusLogView*>(widget());
}

void* StatusLogAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State StatusLogAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

QString StatusLogAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value) return View()->toPlainText();
    return QAccessibleWidget::text(type);
}

void StatusLogAccessible::selection(int index, int* start, int* end) const {
    const bool any = index == 0 && selectionCount() == 1;
    *start = any ? static_cast<int>(View()->SelectionStart()) : 0;
    *end = any ? static_cast<int>(View()->SelectionEnd()) : 0;
}

int StatusLogAccessible::selectionCount() const {
    return View()->SelectionEnd() > View()->SelectionStart() ? 1 : 0;
}

void StatusLogAccessible::addSelection(int start, int end) {
    setSelection(0, start, end);
}

void StatusLogAccessible::removeSelection(int index) {
    if (index == 0) View()->Select(View()->CursorOffset(), View()->CursorOffset());
}

void StatusLogAccessible::setSelection(int index, int start, int end) {
    if (index == 0) View()->Select(start, end);
}

int StatusLogAccessible::cursorPosition() const {
    return static_cast<int>(View()->CursorOffset());
}

void StatusLogAccessible::setCursorPosition(int position) {
    View()->Select(position, position);
}

QString StatusLogAccessible::text(int start, int end) const {
    return View()->ShownText(start, end);
}

QString StatusLogAccessible::Line(int line, int* start, int* end) const {
    const StatusLogView& view = *View();
    if (line < 0 || line >= view.LineCount()) {
        *start = *end = -1;
        return {};
    }
    *start = static_cast<int>(view.LineStartOffset(line));
    *end = *start + static_cast<int>(view.LineLength(line));
    // A line's text includes its line break, as a plain text edit reports it.
    if (line + 1 < view.LineCount()) ++*end;
    return view.ShownText(*start, *end);
}

// Lines come from the view's index; the other boundaries from Qt's own rules on the text.
QString StatusLogAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary,
                                              int* start, int* end) const {
    if (!ByLine(boundary)) {
        return QAccessibleTextInterface::textBeforeOffset(offset, boundary, start, end);
    }
    return Line(View()->LineAtOffset(offset) - 1, start, end);
}

QString StatusLogAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundary,
                                             int* start, int* end) const {
    if (!ByLine(boundary)) {
        return QAccessibleTextInterface::textAfterOffset(offset, boundary, start, end);
    }
    return Line(View()->LineAtOffset(offset) + 1, start, end);
}

QString StatusLogAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundary,
                                          int* start, int* end) const {
    if (!ByLine(boundary)) {
        return QAccessibleTextInterface::textAtOffset(offset, boundary, start, end);
    }
    return Line(View()->LineAtOffset(offset), start, end);
}

int StatusLogAccessible::characterCount() const {
    return static_cast<int>(View()->ShownLength());
}

QRect StatusLogAccessible::characterRect(int offset) const {
    const QRect in_viewport = View()->OffsetRect(offset);
    return {View()->viewport()->mapToGlobal(in_viewport.topLeft()), in_viewport.size()};
}

int StatusLogAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint in_viewport = View()->viewport()->mapFromGlobal(point);
    if (!View()->viewport()->rect().contains(in_viewport)) return -1;
    return static_cast<int>(View()->OffsetAt(in_viewport));
}

void StatusLogAccessible::scrollToSubstring(int start, int) {
    View()->ScrollToOffset(start);
}

QString StatusLogAccessible::attributes(int offset, int* start, int* end) const {
    *start = *end = offset;
    return {};
}

}  // namespace torvex::qt
