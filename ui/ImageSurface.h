#pragma once
// A DisplaySurface over a QImage of 32-bit RGB pixels. Rectangles are filled
// pixel by pixel (the scalogram fills thousands of small cells per picture),
// lines go through a QPainter made on first use. Usable on any thread; the
// caller keeps anyone else off the image while the surface lives.

#include "filters/DisplaySurface.h"

#include <QImage>
#include <QPainter>
#include <memory>

namespace sonabel {

class ImageSurface : public DisplaySurface {
public:
    // image: Format_RGB32, not owned, outlives the surface.
    explicit ImageSurface(QImage& image);
    ~ImageSurface() override;

    void fillRect(int left, int top, int right, int bottom, DisplayColour colour) override;
    void drawPolyline(const DisplayPoint* points, int count, DisplayColour colour) override;

private:
    QImage& image;
    std::unique_ptr<QPainter> painter;
};

} // namespace sonabel
