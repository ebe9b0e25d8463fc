#pragma once
// Screen readers read a status log view through Qt's accessible text interface: the shown text,
// its lines and the selection, with offsets as the view counts them (status_log_view.h).

#include <QAccessibleWidget>

namespace torvex::qt {

class StatusLogView;

class StatusLogAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit StatusLogAccessible(StatusLogView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text type) const override;

    void selection(int index, int* start, int* end) const override;
    int selectionCount() const override;
    void addSelection(int start, int end) override;
    void removeSelection(int index) override;
    void setSelection(int index, int start, int end) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int start, int end) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                         int* end) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int start, int end) override;
    QString attributes(int offset, int* start, int* end) const override;

  private:
    StatusLogView* View() const;
    QString Line(int line, int* start, int* end) const;
};

// Makes QAccessible build a StatusLogAccessible for every status log view; once per process.
void InstallStatusLogAccessibleFactory();

}  // namespace torvex::qt
