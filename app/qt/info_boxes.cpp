#include "app/qt/info_boxes.h"

#include <QLabel>
#include <QPushButton>

#include "app/qt/dialog_units.h"
#include "app/qt/status_pictures.h"
#include "app/qt/ui_text.h"

namespace torvex::qt {

namespace {

constexpr Qt::WindowFlags kBoxFlags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

void PrepareBox(QDialog* box, std::u16string_view caption, int width_du, int height_du) {
    box->setWindowFlags(kBoxFlags);
    box->setFont(DialogFont());
    box->setWindowTitle(ToQString(caption));
    box->setWindowIcon(ApplicationIcon());
    box->setFixedSize(DialogSizeToPixels(width_du, height_du));
}

void AddIcon(QDialog* box, DialogRect rect) {
    auto* icon = new QLabel(box);
    icon->setObjectName(QStringLiteral("icon128"));
    const QRect pixels = DialogRectToPixels(rect);
    icon->setGeometry(pixels);
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QLabel* AddText(QDialog* box, std::u16string_view text, DialogRect rect) {
    auto* label = new QLabel(ToQString(text), box);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(DialogRectToPixels(rect));
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    PrepareBox(this, kAboutCaption, kAboutWidthDu, kAboutHeightDu);
    AddIcon(this, kAboutIconRect);
    AddText(this, kAboutLine, kAboutLineRect)->setObjectName(QStringLiteral("aboutLine"));
    auto* ok = new QPushButton(ToQString(kOkText), this);
    ok->setObjectName(QStringLiteral("control1"));
    ok->setGeometry(DialogRectToPixels(kAboutOkRect));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

CHelpIntroDlg::CHelpIntroDlg(QWidget* parent) : QDialog(parent) {
    PrepareBox(this, kHelpCaption, kHelpWidthDu, kHelpHeightDu);
    AddIcon(this, kHelpIconRect);
    static_assert(kHelpLineRects.size() == kHelpLines.size());
    for (std::size_t i = 0; i < kHelpLines.size(); ++i) {
        QLabel* line = AddText(this, kHelpLines[i], kHelpLineRects[i]);
        line->setObjectName(QStringLiteral("helpLine%1").arg(i + 1));
        line->setWordWrap(true);
    }
}

}  // namespace torvex::qt
