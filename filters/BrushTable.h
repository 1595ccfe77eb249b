#pragma once
// The 511 colours of a display's colour mode. A value is drawn with the
// brush at index 255 + 255 * K (K the scaled value, clamped to 0..510):
// index 255 is zero, indexes above it positive values, below it negative
// ones. Modes 0 to 5 mirror around 255, so they show the magnitude only;
// mode 6 shows positive values blue and negative ones red.
//
// The seven tables are made once for the process and never change, so any
// display may share them from any thread.

#include "filters/DisplaySurface.h"

namespace sonabel {

class BrushTable {
public:
    static constexpr int size = 511;
    static constexpr int zero = 255;
    static constexpr int modeCount = 7;

    // The table of a colour mode (clamped to 0..modeCount-1).
    static const BrushTable& forMode(int mode);
    // The mode's name as the "Color mode" choice shows it.
    static const char* getModeName(int mode);
    // The brush index of a scaled value: 255 + 255 * scaled, truncated and
    // limited to 0..510; a value that is not a number gives 0.
    static int indexOf(double scaled);

    // index 0..size-1.
    DisplayColour operator[](int index) const { return colours[index]; }

    BrushTable(const BrushTable&) = delete;
    BrushTable& operator=(const BrushTable&) = delete;

private:
    explicit BrushTable(int mode);
    DisplayColour colours[size];
};

} // namespace sonabel
