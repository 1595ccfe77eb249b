#include "scalogram/Scalogram.h"

#include "core/Log.h"
#include "filters/BrushTable.h"
#include "wavelet/WaveletCoeffs.h"
#include "wavelet/WaveletTransform.h"

#include <algorithm>
#include <cmath>

namespace sonabel {

Scalogram::Scalogram(const ScalogramSettings& given) : settings(given) {
    settings.colourMode = std::clamp(settings.colourMode, 0, BrushTable::modeCount - 1);
    settings.wash = std::clamp(settings.wash, 0.0, 1.0);
    if (!(settings.range > 0.0)) settings.range = 80.0;
    if (!(settings.vertical > 0.0)) settings.vertical = 1.0;
}

int Scalogram::getBandTop(int band) const {
    if (band < 0 || band >= getLevelCount()) return 0;
    return bandTops[static_cast<size_t>(band)];
}

int Scalogram::getBandBottom(int band) const {
    if (band < 0 || band >= getLevelCount()) return 0;
    return bandBottoms[static_cast<size_t>(band)];
}

// Band heights from the bottom up: u, u*v, u*v^2, ... with u chosen so they
// fill the height. Edges are the running sum truncated to whole rows, and
// the finest band ends at row 0.
void Scalogram::layBands(int bandCount) {
    bandTops.assign(static_cast<size_t>(bandCount), 0);
    bandBottoms.assign(static_cast<size_t>(bandCount), 0);
    double sum = 0.0, height = 1.0;
    for (int i = 0; i < bandCount; ++i, height *= settings.vertical) sum += height;
    const double unit = settings.height / sum;
    double below = 0.0;
    height = unit;
    for (int band = bandCount - 1; band >= 0; --band, height *= settings.vertical) {
        const size_t at = static_cast<size_t>(band);
        bandBottoms[at] = settings.height - static_cast<int>(below);
        below += height;
        bandTops[at] = band == 0 ? 0 : settings.height - static_cast<int>(below);
    }
}

// Each cell becomes the mean of the cells up to `smoothing` columns away in
// its band (fewer at the edges).
void Scalogram::smooth(std::vector<double>& energy, int bandCount) const {
    const int width = settings.width, reach = settings.smoothing;
    if (reach <= 0) return;
    std::vector<double> row(static_cast<size_t>(width));
    for (int band = 0; band < bandCount; ++band) {
        double* cells = energy.data() + static_cast<size_t>(band) * static_cast<size_t>(width);
        std::copy(cells, cells + width, row.begin());
        for (int x = 0; x < width; ++x) {
            const int from = std::max(0, x - reach), to = std::min(width - 1, x + reach);
            double sum = 0.0;
            for (int i = from; i <= to; ++i) sum += row[static_cast<size_t>(i)];
            cells[x] = sum / (to - from + 1);
        }
    }
}

bool Scalogram::compute(const float* samples, int count) {
    const int width = settings.width, height = settings.height;
    if (width < 1 || height < 1 || count < 4 || samples == nullptr) {
        logError(2, "Scalogram::compute: nothing to show (%d samples, %d x %d pixels)", count, width, height);
        indexes.clear();
        bandTops.clear();
        bandBottoms.clear();
        return false;
    }
    WaveletTransform transform;
    transform.setWavelet(settings.wavelet);
    WaveletCoeffs coeffs;
    transform.forwardTransform(samples, count, coeffs, nullptr);
    // The bands that exist; at least the coarsest level.
    const int available = coeffs.getLevelCount();
    const int first = std::clamp(settings.firstLevel, 0, available - 1);
    const int bandCount = std::min(settings.levels, available - first);
    if (first != settings.firstLevel || bandCount < settings.levels)
        logError(3, "Scalogram::compute: %d samples give levels 1 to %d, not %d to %d", count, available,
                 settings.firstLevel + 1, settings.firstLevel + settings.levels);
    layBands(bandCount);

    // Mean energy of the coefficients under each column of each level. A
    // level with fewer values than columns repeats each value over the
    // columns it spans.
    std::vector<double> energy(static_cast<size_t>(bandCount) * static_cast<size_t>(width), 0.0);
    for (int band = 0; band < bandCount; ++band) {
        int values = 0;
        const float* core = coeffs.getCore(first + band, values);
        if (core == nullptr || values <= 0) continue;
        for (int x = 0; x < width; ++x) {
            const int64_t from = int64_t{x} * values / width;
            const int64_t end = std::max(from + 1, int64_t{x + 1} * values / width);
            double sum = 0.0;
            for (int64_t i = from; i < end; ++i) sum += double{core[i]} * core[i];
            energy[static_cast<size_t>(band) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                sum / static_cast<double>(end - from);
        }
    }
    smooth(energy, bandCount);
    const double loudest = energy.empty() ? 0.0 : *std::max_element(energy.begin(), energy.end());

    indexes.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    if (loudest <= 0.0) return true;
    for (int band = 0; band < bandCount; ++band) {
        for (int x = 0; x < width; ++x) {
            const double e = energy[static_cast<size_t>(band) * static_cast<size_t>(width) + static_cast<size_t>(x)];
            int index = 0;
            if (e > 0.0) {
                const double decibels = 10.0 * std::log10(e / loudest);
                index = static_cast<int>(std::lround(255.0 * (1.0 + decibels / settings.range)));
                index = std::clamp(index, 0, 255);
            }
            for (int y = getBandTop(band); y < getBandBottom(band); ++y)
                indexes[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                    static_cast<uint8_t>(index);
        }
    }
    return true;
}

std::vector<DisplayColour> Scalogram::getPalette() const {
    const BrushTable& brushes = BrushTable::forMode(settings.colourMode);
    const auto blend = [this](uint8_t colour, uint8_t paper) {
        const double mixed = colour * (1.0 - settings.wash) + paper * settings.wash;
        return static_cast<uint8_t>(std::lround(mixed));
    };
    std::vector<DisplayColour> palette(256);
    for (int k = 0; k < 256; ++k) {
        const DisplayColour c = brushes[BrushTable::zero + k];
        palette[static_cast<size_t>(k)] = DisplayColour{blend(c.red, settings.paper.red),
                                                        blend(c.green, settings.paper.green),
                                                        blend(c.blue, settings.paper.blue)};
    }
    return palette;
}

} // namespace sonabel
