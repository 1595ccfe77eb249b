#pragma once
// Where a display filter draws: a pixel area of the host's window, origin at
// the top left, x to the right and y downwards. The surface keeps what was
// drawn until it is drawn over, so a display may erase its previous line by
// drawing it again in the background colour. The host owns the surface; it
// is only valid during the paint call that hands it out.

#include <cstdint>

namespace sonabel {

struct DisplayColour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    bool operator==(const DisplayColour&) const = default;
};

struct DisplayPoint {
    int x;
    int y;
    bool operator==(const DisplayPoint&) const = default;
};

class DisplaySurface {
public:
    virtual ~DisplaySurface() = default;
    // Fills the pixels left <= x < right, top <= y < bottom.
    virtual void fillRect(int left, int top, int right, int bottom, DisplayColour colour) = 0;
    // Joins count points with one-pixel lines, in order.
    virtual void drawPolyline(const DisplayPoint* points, int count, DisplayColour colour) = 0;
};

} // namespace sonabel
