#pragma once
// The status log control (id 1004). Its content is the exact text the tool appended, CR LF line
// ends and any lone CR included; the view shows it with one line per CR LF. An append adds only
// the new text at the end of both (no read and rewrite of the whole log), so its cost does not
// grow with the log, and it brings the last line into view.

#include <QPlainTextEdit>
#include <QString>
#include <QStringView>

namespace torvex::qt {

class StatusLogView : public QPlainTextEdit {
  public:
    explicit StatusLogView(QWidget* parent = nullptr);

    void Append(QStringView text);
    // Clear button: the log becomes empty.
    void ClearLog();
    // The log's content, exactly as appended.
    const QString& Text() const { return text_; }

  private:
    QString text_;
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
