#pragma once
// A time-scale picture of a sound, made with the engine's wavelet transform
// and coloured with a wavelet display colour mode: one horizontal band per
// detail level, the finest at the top and each band taller than the coarser
// one below it (as the wavelet display stacks them), one column per pixel of
// time. A cell's value is the mean energy of the coefficients under it (and
// under `smoothing` columns on either side), in decibels below the loudest
// cell, mapped to a palette index 0..255 (0 is `range` dB down or quieter,
// 255 the loudest).
//
// Call sequence: construct with the settings, compute once with the
// samples, then read the indexes and the palette.

#include "filters/DisplaySurface.h"

#include <cstdint>
#include <vector>

namespace sonabel {

struct ScalogramSettings {
    int width = 610;   // pixels
    int height = 240;  // pixels
    int firstLevel = 0; // index of the finest detail level shown (0 is level 1)
    int levels = 10;   // detail levels shown, from firstLevel down
    int wavelet = 0;   // WaveletTransform's index
    int colourMode = 5; // BrushTable's mode
    double range = 80.0;    // decibels from index 255 down to index 0
    int smoothing = 0;      // columns on either side whose energy a cell shares
    double vertical = 1.25; // a band's height over that of the coarser band below it
    double wash = 0.0;      // 0..1: how far every colour is blended toward paper
    DisplayColour paper{255, 255, 255};
};

class Scalogram {
public:
    explicit Scalogram(const ScalogramSettings& settings);
    Scalogram(const Scalogram&) = delete;
    Scalogram& operator=(const Scalogram&) = delete;

    // Transforms count samples of one channel as a single block and fills
    // the picture. Shows fewer levels, with a level-3 message, when the
    // block has fewer than asked for (at least the coarsest one). False, with an error, when there is
    // nothing to show (fewer than 4 samples, or a size below 1 pixel).
    bool compute(const float* samples, int count);

    int getWidth() const { return settings.width; }
    int getHeight() const { return settings.height; }
    // Levels the last compute showed.
    int getLevelCount() const { return static_cast<int>(bandTops.size()); }
    // Rows of the band of the i-th level shown (0 the finest shown, level
    // index firstLevel + i): top <= y < bottom.
    int getBandTop(int band) const;
    int getBandBottom(int band) const;
    // width * height indexes, row by row from the top.
    const std::vector<uint8_t>& getIndexes() const { return indexes; }
    // 256 colours: magnitude k of the colour mode, washed toward paper.
    std::vector<DisplayColour> getPalette() const;

private:
    void layBands(int bandCount);
    void smooth(std::vector<double>& energy, int bandCount) const;

    ScalogramSettings settings;
    std::vector<uint8_t> indexes;
    std::vector<int> bandTops, bandBottoms; // by band, the finest first
};

} // namespace sonabel
