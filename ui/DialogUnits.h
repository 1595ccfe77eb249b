#pragma once
// Turns the dialog units of the window layouts into pixels, from the metrics
// of the interface font: x · (average character width) / 4 and
// y · (character height) / 8, as the layouts were drawn. Every window places
// its controls through this, so the proportions hold at any font size; Qt
// scales the pixels on HiDPI screens by the device pixel ratio.

#include <QFont>
#include <QRect>

namespace sonabel {

class DialogUnits {
public:
    // Metrics of the application's default font.
    DialogUnits();
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    // A rectangle given as left, top, width, height in dialog units.
    QRect rect(int left, int top, int width, int height) const;
    QSize size(int width, int height) const;

    int baseWidth() const { return baseX; }
    int baseHeight() const { return baseY; }

private:
    int baseX = 6;
    int baseY = 13;
};

} // namespace sonabel
