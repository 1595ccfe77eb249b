#include "ui/DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>

namespace sonabel {

DialogUnits::DialogUnits() : DialogUnits(QApplication::font()) {}

DialogUnits::DialogUnits(const QFont& font) {
    // The average width is that of the 52 letters, rounded to the nearest
    // pixel, and the height is the font's full line height.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX = std::max(1, (letters / 26 + 1) / 2);
    baseY = std::max(1, metrics.height());
}

// Rounded to the nearest pixel, halves away from zero.
static int scale(int units, int base, int divisor) {
    const long product = static_cast<long>(units) * base;
    return static_cast<int>(product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor));
}

int DialogUnits::x(int units) const { return scale(units, baseX, 4); }
int DialogUnits::y(int units) const { return scale(units, baseY, 8); }

QRect DialogUnits::rect(int left, int top, int width, int height) const {
    return QRect(x(left), y(top), x(width), y(height));
}

QSize DialogUnits::size(int width, int height) const { return QSize(x(width), y(height)); }

} // namespace sonabel
