#include "ui/ImageSurface.h"

#include <QPen>
#include <QPoint>
#include <algorithm>
#include <vector>

namespace sonabel {

ImageSurface::ImageSurface(QImage& target) : image(target) {}

ImageSurface::~ImageSurface() = default;

void ImageSurface::fillRect(int left, int top, int right, int bottom, DisplayColour colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width());
    bottom = std::min(bottom, image.height());
    if (left >= right || top >= bottom) return;
    if (painter) painter->end(); // the painter may hold pixels back until it ends
    painter.reset();
    const QRgb pixel = qRgb(colour.red, colour.green, colour.blue);
    for (int y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + left, line + right, pixel);
    }
}

void ImageSurface::drawPolyline(const DisplayPoint* points, int count, DisplayColour colour) {
    if (count <= 0 || image.isNull()) return;
    if (!painter) painter = std::make_unique<QPainter>(&image);
    painter->setPen(QPen(QColor(colour.red, colour.green, colour.blue), 0));
    if (count == 1) {
        painter->drawPoint(points[0].x, points[0].y);
        return;
    }
    std::vector<QPoint> line(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) line[static_cast<size_t>(i)] = QPoint(points[i].x, points[i].y);
    painter->drawPolyline(line.data(), count);
}

} // namespace sonabel
