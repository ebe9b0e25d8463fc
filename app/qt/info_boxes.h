#pragma once
// The About box (template 100, CAboutDlg) and the Help box (template 104, CHelpIntroDlg) that the
// window's menu opens. Both are plain modal dialogs with no handlers of their own: About closes
// with OK, Escape or its close box; Help has no button and closes with Escape or its close box.

#include <QDialog>

namespace torvex::qt {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

class CHelpIntroDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CHelpIntroDlg(QWidget* parent = nullptr);
};

}  // namespace torvex::qt
