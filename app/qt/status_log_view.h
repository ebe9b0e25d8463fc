#pragma once
// The status log control (id 1004). Its content is the exact text the tool appended, CR LF line
// ends and any lone CR included; the view shows it with one line per CR LF. An append adds only
// the new text at the end (no read and rewrite of the whole log), so its cost does not grow with
// the log. Lines reach the view in one batch when the event loop next runs (or before a forced
// repaint), which then brings the last line into view; a burst of lines during a blocking
// operation costs one insertion instead of one per line.

#include <QPlainTextEdit>
#include <QString>
#include <QStringView>

namespace torvex::qt {

class StatusLogView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit StatusLogView(QWidget* parent = nullptr);

    void Append(QStringView text);
    // Clear button: the log becomes empty.
    void ClearLog();
    // The log's content, exactly as appended.
    const QString& Text() const { return text_; }
    // Shows the lines appended since the last time, and scrolls to the end.
    void ShowPending();

  private:
    QString text_;
    QString pending_display_;
    bool show_queued_ = false;
};

// The exact text of a single-line log (the hidden secondary log, id 1018): kept as appended,
// shown in its line edit.
class LineLog {
  public:
    void Append(QStringView text) { text_.append(text); }
    const QString& Text() const { return text_; }

  private:
    QString text_;
};

}  // namespace torvex::qt
