#include "ui/ImageSurface.h"

#include <algorithm>
#include <cstdlib>

namespace sonabel {

ImageSurface::ImageSurface(QImage& image)
    : bits(image.isNull() ? nullptr : image.bits()), stride(image.bytesPerLine()), width(image.width()),
      height(image.height()) {}

void ImageSurface::fillRect(int left, int top, int right, int bottom, DisplayColour colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width);
    bottom = std::min(bottom, height);
    if (!bits || left >= right || top >= bottom) return;
    const QRgb pixel = qRgb(colour.red, colour.green, colour.blue);
    for (int y = top; y < bottom; ++y) std::fill(row(y) + left, row(y) + right, pixel);
}

void ImageSurface::drawPolyline(const DisplayPoint* points, int count, DisplayColour colour) {
    if (!bits || count <= 0) return;
    const QRgb pixel = qRgb(colour.red, colour.green, colour.blue);
    if (count == 1) drawLine(points[0], points[0], pixel);
    for (int i = 1; i < count; ++i) drawLine(points[i - 1], points[i], pixel);
}

// Bresenham over the major axis, both ends included; pixels outside the
// image are skipped one by one.
void ImageSurface::drawLine(DisplayPoint from, DisplayPoint to, QRgb pixel) {
    const int dx = std::abs(to.x - from.x);
    const int dy = -std::abs(to.y - from.y);
    const int sx = from.x < to.x ? 1 : -1;
    const int sy = from.y < to.y ? 1 : -1;
    int error = dx + dy;
    int x = from.x, y = from.y;
    for (;;) {
        if (x >= 0 && x < width && y >= 0 && y < height) row(y)[x] = pixel;
        if (x == to.x && y == to.y) break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}

} // namespace sonabel
