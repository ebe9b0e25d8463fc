#pragma once
// Dialog units to pixels, as the original's dialog font ("MS Shell Dlg", 8 points at 96 dots per
// inch) maps them: horizontal base unit 6 px, vertical 13 px; x px = x * 6 / 4, y px = y * 13 / 8,
// rounded half away from zero. Rectangles are converted by their corners, so a width in pixels
// is right - left of the converted corners (this is how the platform lays out a template).

#include <QFont>
#include <QRect>
#include <QStringList>

#include "app/dialog_templates.h"

namespace torvex::qt {

inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

// a * b / c rounded half away from zero, for the non-negative values a template holds.
constexpr int MulDiv(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

constexpr int DialogUnitsToPixelsX(int x) {
    return MulDiv(x, kBaseUnitX, 4);
}
constexpr int DialogUnitsToPixelsY(int y) {
    return MulDiv(y, kBaseUnitY, 8);
}

inline QRect DialogRectToPixels(const DialogRect& du) {
    const int left = DialogUnitsToPixelsX(du.x);
    const int top = DialogUnitsToPixelsY(du.y);
    const int right = DialogUnitsToPixelsX(du.x + du.width);
    const int bottom = DialogUnitsToPixelsY(du.y + du.height);
    return {left, top, right - left, bottom - top};
}

inline QSize DialogSizeToPixels(int width_du, int height_du) {
    return {DialogUnitsToPixelsX(width_du), DialogUnitsToPixelsY(height_du)};
}

// The templates' font: "MS Shell Dlg" at 8 points is Tahoma, 11 pixels high at 96 dots per inch.
// Where it is missing, the nearest sans-serif faces of about its width keep the labels inside
// the rectangles the templates give them.
inline QFont DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arimo"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

}  // namespace torvex::qt
