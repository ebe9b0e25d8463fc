#include "app/qt/status_log_view.h"

#include <QScrollBar>
#include <QTextCursor>

namespace torvex::qt {

namespace {
// The view breaks lines at LF; a CR (alone or before LF) shows as nothing.
void AppendDisplayText(QString& shown, QStringView text) {
    for (const QChar c : text) {
        if (c != u'\r') shown.append(c);
    }
}
}  // namespace

StatusLogView::StatusLogView(QWidget* parent) : QPlainTextEdit(parent) {
    // The log is a record of what happened: the operator reads and copies it, never edits it,
    // so the exact text and what is shown cannot drift apart.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void StatusLogView::Append(QStringView text) {
    text_.append(text);
    AppendDisplayText(pending_display_, text);
    if (show_queued_) return;
    show_queued_ = true;
    QMetaObject::invokeMethod(this, &StatusLogView::ShowPending, Qt::QueuedConnection);
}

void StatusLogView::ShowPending() {
    show_queued_ = false;
    if (!pending_display_.isEmpty()) {
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertText(pending_display_);
        pending_display_.clear();
    }
    // Only the vertical position follows the new text; the horizontal one stays where it was.
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

void StatusLogView::ClearLog() {
    text_.clear();
    pending_display_.clear();
    clear();
}

}  // namespace torvex::qt
