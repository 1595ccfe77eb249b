#include "filters/BrushTable.h"

#include <algorithm>

namespace sonabel {

namespace {

const char* const modeNames[BrushTable::modeCount] = {
    "Greyscale",      "Blue", "Red", "Green", "Red and yellow", "Blue -> red -> yellow",
    "Blue: positive Red: negative",
};

DisplayColour rgb(int red, int green, int blue) {
    return DisplayColour{static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue)};
}

// The colour of magnitude k = 0..255 in modes 0 to 5.
DisplayColour magnitudeColour(int mode, int k) {
    const int j = k - 128;
    switch (mode) {
    case 0: return rgb(k, k, k);
    case 1: return k < 128 ? rgb(0, 0, 2 * k) : rgb(2 * j, 2 * j, 255);
    case 2: return k < 128 ? rgb(2 * k, 0, 0) : rgb(255, 2 * j, 2 * j);
    case 3: return k < 128 ? rgb(0, 2 * k, 0) : rgb(2 * j, 255, 2 * j);
    case 4: {
        if (k < 32) return rgb(192 + 2 * k, 0, 0);
        if (k >= 224) return rgb(255, 255, 2 * (k - 224));
        // The ramp is taken in single precision, as the palette always was.
        const float g = static_cast<float>((k - 32) * 255) * (1.0f / 192.0f);
        return rgb(255, static_cast<int>(g), 0);
    }
    default:
        if (k < 64) return rgb(0, 0, 64 + 3 * k);
        if (k < 128) return rgb(4 * (k - 64), 0, 255 - 4 * (k - 64));
        if (k < 192) return rgb(255, 4 * (k - 128), 0);
        return rgb(255, 255, 3 * (k - 192));
    }
}

} // namespace

BrushTable::BrushTable(int mode) {
    for (int k = 0; k < 256; ++k) {
        if (mode == 6) {
            const int j = k - 128;
            colours[zero + k] = k < 128 ? rgb(0, 0, 2 * k) : rgb(2 * j, 2 * j, 255);
            colours[zero - k] = k < 128 ? rgb(2 * k, 0, 0) : rgb(255, 2 * j, 2 * j);
        } else {
            colours[zero + k] = colours[zero - k] = magnitudeColour(mode, k);
        }
    }
}

const BrushTable& BrushTable::forMode(int mode) {
    static const BrushTable tables[modeCount] = {BrushTable(0), BrushTable(1), BrushTable(2), BrushTable(3),
                                                 BrushTable(4), BrushTable(5), BrushTable(6)};
    return tables[std::clamp(mode, 0, modeCount - 1)];
}

const char* BrushTable::getModeName(int mode) {
    return modeNames[std::clamp(mode, 0, modeCount - 1)];
}

int BrushTable::indexOf(double scaled) {
    const double index = zero + zero * scaled;
    if (!(index >= 0.0)) return 0; // below the scale, or not a number
    if (index >= size - 1) return size - 1;
    return static_cast<int>(index);
}

} // namespace sonabel
