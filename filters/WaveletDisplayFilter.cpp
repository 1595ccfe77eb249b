#include "filters/WaveletDisplayFilter.h"

#include "core/Lock.h"
#include "core/SampleBuffer.h"
#include "filters/BrushTable.h"
#include "filters/DisplayHost.h"
#include "filters/DisplaySurface.h"
#include "filters/FilterListener.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"

#include <cstdio>
#include <utility>

namespace sonabel {

namespace {

const ParameterInfo parameterTable[] = {
    {"Show window", 0, 1, PARAM_CHECKBOX},
    {"Show paddings", 0, 1, PARAM_CHECKBOX},
    {"Display energy (squared coefficients)", 0, 1, PARAM_CHECKBOX},
    {"Color mode", 0, 6, PARAM_CHOICE},
    {"Brightness (color scale)", 0, 50, PARAM_SLIDER},
    {"Vertical scale", 0, 100, PARAM_SLIDER},
    {"Number of chunks to display", 0, 9, PARAM_SLIDER},
    {"Refresh every x-th chunk(s)", 0, 50, PARAM_SLIDER},
    {"Synchronous Display", 0, 1, PARAM_CHECKBOX},
};

// Chunks copied per period: the most that can be shown, and one more.
constexpr int capturedPerPeriod = 11;

} // namespace

WaveletDisplayFilter::WaveletDisplayFilter()
    : spare(new WaveletCoeffs), brushTable(&BrushTable::forMode(5)), lock(createLock()), drawLock(createLock()) {
    lock->setName("WaveletDisplayFilter");
    drawLock->setName("WaveletDisplayFilter:Draw");
    for (auto& slot : displayRing) slot = new WaveletCoeffs;
    recompute();
}

WaveletDisplayFilter::~WaveletDisplayFilter() {
    showWindow(false);
    for (auto* slot : displayRing) delete slot;
    delete spare;
    delete drawLock;
    delete lock;
}

void WaveletDisplayFilter::recompute() {
    brightness = static_cast<float>(brightnessStep) * 0.1f;
    verticalFactor = static_cast<float>(verticalStep) * 0.01f + 1.0f;
}

void WaveletDisplayFilter::setFormat(const AudioFormat& newFormat) {
    LockGuard guard(lock);
    format.copyFrom(newFormat);
    LockGuard drawing(drawLock);
    recompute();
}

const ParameterInfo* WaveletDisplayFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(parameterTable, getParameterCount(), index, "WaveletDisplayFilter");
}

void WaveletDisplayFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(getParameterCount(), index, value, "WaveletDisplayFilter")) return;
    value = clampParameter(parameterTable[index], value);
    if (index == 0) {
        showWindow(value != 0);
        notifyTextChanged(index);
        return;
    }
    {
        LockGuard guard(lock);
        {
            LockGuard drawing(drawLock);
            switch (index) {
            case 1: showPaddings = value != 0; break;
            case 2: energy = value != 0; break;
            case 3:
                colourMode = value;
                brushTable = &BrushTable::forMode(value);
                break;
            case 4: brightnessStep = value; break;
            case 5: verticalStep = value; break;
            case 6:
                chunks = value + 1;
                // Show the latest copies at once rather than slots that were
                // never part of the last picture.
                startSlot = ringIndex - chunks + ringSize + 1;
                break;
            case 7: refresh = value; break;
            default: synchronous = value != 0; break;
            }
            recompute();
        }
        if (index == 6) {
            // The refresh text counts the shown chunks in.
            notifyValueChanged(7);
            notifyTextChanged(7);
        }
        if (index <= 6) redraw(false);
    }
    notifyTextChanged(index);
}

int32_t WaveletDisplayFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    switch (index) {
    case 0: return windowSlot.isShown() ? 1 : 0;
    case 1: return showPaddings ? 1 : 0;
    case 2: return energy ? 1 : 0;
    case 3: return colourMode;
    case 4: return brightnessStep;
    case 5: return verticalStep;
    case 6: return chunks - 1;
    case 7: return refresh;
    case 8: return synchronous ? 1 : 0;
    default: return 0;
    }
}

char* WaveletDisplayFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (capacity <= 0) return buffer;
    buffer[0] = 0;
    auto size = static_cast<size_t>(capacity);
    LockGuard guard(lock);
    switch (index) {
    case 0: std::snprintf(buffer, size, "%s", windowSlot.isShown() ? "on" : "off"); break;
    case 1: std::snprintf(buffer, size, "%s", showPaddings ? "yes" : "no"); break;
    case 2: std::snprintf(buffer, size, "%s", energy ? "squared" : "linear"); break;
    case 3: std::snprintf(buffer, size, "%s", BrushTable::getModeName(colourMode)); break;
    case 4: std::snprintf(buffer, size, "%.1f", static_cast<double>(brightness)); break;
    case 5: std::snprintf(buffer, size, "%.1f", static_cast<double>(verticalFactor)); break;
    case 6: std::snprintf(buffer, size, "%d", chunks); break;
    case 7: std::snprintf(buffer, size, "%d", refresh + chunks); break;
    case 8: std::snprintf(buffer, size, "%s", synchronous ? "yes" : "no"); break;
    default: break;
    }
    return buffer;
}

int WaveletDisplayFilter::getRingIndex() {
    LockGuard guard(lock);
    return ringIndex;
}

void WaveletDisplayFilter::showWindow(bool on) {
    windowSlot.show(on, lock, listener, this, "Wavelet Display");
}

void WaveletDisplayFilter::redraw(bool now) { windowSlot.redraw(now, lock); }

void WaveletDisplayFilter::process(SampleBuffer& buffer) {
    LockGuard guard(lock);
    const unsigned period = static_cast<unsigned>(refresh + chunks);
    // Unsigned, so a counter that has run past INT_MAX still counts on.
    const int b = static_cast<int>(static_cast<unsigned>(buffer.chunkCounter) % period);
    const int last = static_cast<int>(period) - 1;
    if (b >= last + 1 - capturedPerPeriod) {
        // The spare belongs to this thread alone: copy (and grow) it without
        // holding up a paint, then swap it into the ring.
        WTFilterInfo* info = buffer.attachedCoeffs;
        if (info && info->usedChannels > 0)
            spare->copyCoeffs(info->getCoeffs(0));
        else
            spare->prepare(0, 0);
        LockGuard drawing(drawLock);
        ringIndex = (ringIndex + 1) % ringSize;
        std::swap(displayRing[ringIndex], spare);
    }
    if (b == last) {
        {
            LockGuard drawing(drawLock);
            startSlot = ringIndex - chunks + ringSize + 1;
        }
        // Held across the redraw so that the window outlives it; drawing
        // itself takes only drawLock.
        redraw(synchronous);
    }
}

void WaveletDisplayFilter::paintWindow(DisplaySurface& surface, int width, int height) {
    LockGuard drawing(drawLock);
    draw(surface, width, height);
}

void WaveletDisplayFilter::windowResized(int, int) {
    // While the chain runs, the next drawing comes soon anyway; every drawing
    // covers the whole area, so there is nothing to clear.
    if (!isActive()) redraw(false);
}

void WaveletDisplayFilter::windowCloseRequested() {
    showWindow(false);
    notifyValueChanged(0);
    notifyTextChanged(0);
}

// One column of width W / chunks per shown copy, oldest on the left. The
// bands are sized by the level count n of the newest copy: with the sum
// S = 2 + v + v^2 + ... + v^(n-1) and the unit u = H / S, the approximations
// and the coarsest details are u high and each finer level v times the one
// below it, so the finest level at the top is u * v^(n-1) high. A copy with
// another level count (the chunk size changed) or none at all is shown as
// zero.
void WaveletDisplayFilter::draw(DisplaySurface& surface, int width, int height) {
    const DisplayColour zero = (*brushTable)[BrushTable::zero];
    const int n = displayRing[(startSlot + chunks - 1) % ringSize]->getLevelCount();
    const double v = verticalFactor;
    double sum = 2.0;
    double power = 1.0;
    for (int k = 1; k < n; ++k) {
        power *= v;
        sum += power;
    }
    if (width <= 0 || height <= 0 || !(sum > 0.0) || chunks <= 0) {
        surface.fillRect(0, 0, width, height, zero);
        return;
    }
    const double unit = height / sum;
    const double columnWidth = static_cast<double>(width) / chunks;
    double edge = 0.0;
    for (int i = startSlot; i < startSlot + chunks; ++i) {
        WaveletCoeffs& copy = *displayRing[i % ringSize];
        const int left = static_cast<int>(edge);
        edge += columnWidth;
        const int right = i == startSlot + chunks - 1 ? width : static_cast<int>(edge);
        if (right <= left) continue;
        if (n == 0 || copy.getLevelCount() != n)
            surface.fillRect(left, 0, right, height, zero);
        else
            drawColumn(surface, copy, left, right, height, unit);
    }
}

// Bands from the bottom up, k = n (the approximations) down to 0 (the finest
// details). Band and cell edges are truncated from running sums, so the bands
// fill the column without gaps. A cell of value t gets the brush at
// 255 + 255 K, K = brightness * t (or brightness * t^2 for energy); cells
// narrower than a pixel are skipped, and the next one starts where the last
// drawn one ended.
void WaveletDisplayFilter::drawColumn(DisplaySurface& surface, WaveletCoeffs& coeffs, int left, int right, int height,
                                      double unit) {
    const BrushTable& brushes = *brushTable;
    const int n = coeffs.getLevelCount();
    const double v = verticalFactor;
    const double scale = brightness;
    double bottom = height;
    double bandHeight = unit;
    for (int k = n; k >= 0; --k) {
        const double top = k == 0 ? 0.0 : bottom - bandHeight;
        const int yBottom = static_cast<int>(bottom);
        const int yTop = top > 0.0 ? static_cast<int>(top) : 0;
        bottom = top;
        if (k < n) bandHeight *= v;
        if (yTop >= yBottom) continue;

        int count = 0;
        const float* values;
        if (showPaddings)
            values = k == n ? coeffs.getApproximations(count) : coeffs.getDetails(k, count);
        else
            values = coeffs.getCore(k, count);
        if (!values || count <= 0) {
            surface.fillRect(left, yTop, right, yBottom, brushes[BrushTable::zero]);
            continue;
        }
        const double cellWidth = static_cast<double>(right - left) / count;
        int drawn = left;
        for (int j = 0; j < count; ++j) {
            const int cellRight = j == count - 1 ? right : left + static_cast<int>((j + 1) * cellWidth);
            if (cellRight <= drawn) continue;
            const double t = values[j];
            const double K = energy ? scale * t * t : scale * t;
            surface.fillRect(drawn, yTop, cellRight, yBottom, brushes[BrushTable::indexOf(K)]);
            drawn = cellRight;
        }
    }
}

} // namespace sonabel
