#pragma once
// The exact text of a single-line log (the hidden secondary log, id 1018): kept as appended,
// shown in its line edit.

#include <QString>
#include <QStringView>

namespace torvex::qt {

class LineLog {
  public:
    void Append(QStringView text) { text_.append(text); }
    const QString& Text() const { return text_; }

  private:
    QString text_;
};

}  // namespace torvex::qt
