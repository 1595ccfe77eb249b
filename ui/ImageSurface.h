#pragma once
// A DisplaySurface over a QImage of 32-bit RGB pixels, written directly:
// rectangles row by row, lines with Bresenham's steps, one pixel wide and
// clipped to the image. The scalogram fills thousands of small cells per
// picture and the waveform draws a line through every column, so neither
// goes through a QPainter. Usable on any thread; the caller keeps anyone
// else off the image while the surface lives.

#include "filters/DisplaySurface.h"

#include <QImage>

namespace sonabel {

class ImageSurface : public DisplaySurface {
public:
    // image: Format_RGB32, not owned, outlives the surface.
    explicit ImageSurface(QImage& image);

    void fillRect(int left, int top, int right, int bottom, DisplayColour colour) override;
    void drawPolyline(const DisplayPoint* points, int count, DisplayColour colour) override;

private:
    void drawLine(DisplayPoint from, DisplayPoint to, QRgb pixel);
    QRgb* row(int y) { return reinterpret_cast<QRgb*>(bits + static_cast<qsizetype>(y) * stride); }

    uchar* bits;
    qsizetype stride; // bytes per line
    int width;
    int height;
};

} // namespace sonabel
