#include "filters/TimeDisplayFilter.h"

#include "core/Lock.h"
#include "core/SampleBuffer.h"
#include "filters/DisplayHost.h"
#include "filters/FilterListener.h"

#include <cmath>
#include <cstdio>

namespace sonabel {

namespace {

const ParameterInfo parameterTable[] = {
    {"Show window", 0, 1, PARAM_CHECKBOX},
    {"Logarithmic vertical values (dB scale)", 0, 1, PARAM_CHECKBOX},
    {"Vertical scale", 0, 200, PARAM_SLIDER},
    {"Number of chunks to display", 0, 9, PARAM_SLIDER},
    {"Refresh every x-th chunk(s)", 0, 50, PARAM_SLIDER},
    {"Synchronous Display", 0, 1, PARAM_CHECKBOX},
};

constexpr DisplayColour black{0, 0, 0};
constexpr DisplayColour white{255, 255, 255};

} // namespace

TimeDisplayFilter::TimeDisplayFilter() : lock(createLock()), drawLock(createLock()) {
    lock->setName("TimeDisplayFilter");
    drawLock->setName("TimeDisplayFilter:Draw");
    for (auto& slot : ring) {
        slot = new SampleBuffer(1, 1);
        slot->fixedChannels = true; // a copy keeps channel 0 only
    }
}

TimeDisplayFilter::~TimeDisplayFilter() {
    showWindow(false);
    for (auto* slot : ring) delete slot;
    delete drawLock;
    delete lock;
}

void TimeDisplayFilter::setFormat(const AudioFormat& newFormat) {
    LockGuard guard(lock);
    format.copyFrom(newFormat);
    LockGuard drawing(drawLock);
    verticalFactor = static_cast<float>(verticalStep) * 0.01f;
}

const ParameterInfo* TimeDisplayFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(parameterTable, getParameterCount(), index, "TimeDisplayFilter");
}

void TimeDisplayFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(getParameterCount(), index, value, "TimeDisplayFilter")) return;
    value = clampParameter(parameterTable[index], value);
    if (index == 0) {
        showWindow(value != 0);
        notifyTextChanged(index);
        return;
    }
    {
        LockGuard guard(lock);
        switch (index) {
        case 1:
        case 2:
        case 3: {
            LockGuard drawing(drawLock);
            if (index == 1) logarithmic = value != 0;
            if (index == 2) verticalStep = value;
            if (index == 3) chunks = value + 1;
            verticalFactor = static_cast<float>(verticalStep) * 0.01f;
            drawnCount = 0;
            break;
        }
        case 4: refresh = value; break;
        default: synchronous = value != 0; break;
        }
        if (index >= 1 && index <= 3) redraw(false);
    }
    notifyTextChanged(index);
}

int32_t TimeDisplayFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    switch (index) {
    case 0: return windowSlot.isShown() ? 1 : 0;
    case 1: return logarithmic ? 1 : 0;
    case 2: return verticalStep;
    case 3: return chunks - 1;
    case 4: return refresh;
    case 5: return synchronous ? 1 : 0;
    default: return 0;
    }
}

char* TimeDisplayFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (capacity <= 0) return buffer;
    buffer[0] = 0;
    auto size = static_cast<size_t>(capacity);
    LockGuard guard(lock);
    switch (index) {
    case 0: std::snprintf(buffer, size, "%s", windowSlot.isShown() ? "on" : "off"); break;
    case 1: std::snprintf(buffer, size, "%s", logarithmic ? "logarithmic" : "linear"); break;
    case 2: std::snprintf(buffer, size, "%.1f", static_cast<double>(verticalFactor)); break;
    case 3: std::snprintf(buffer, size, "%d", chunks); break;
    case 4: std::snprintf(buffer, size, "%d", refresh + 1); break;
    case 5: std::snprintf(buffer, size, "%s", synchronous ? "yes" : "no"); break;
    default: break;
    }
    return buffer;
}

int TimeDisplayFilter::getRingIndex() {
    LockGuard guard(lock);
    return ringIndex;
}

void TimeDisplayFilter::showWindow(bool on) {
    // A new window starts from a clear background.
    windowSlot.show(on, lock, listener, this, "Time domain display", [](DisplayClient* client) {
        auto* self = static_cast<TimeDisplayFilter*>(client);
        LockGuard drawing(self->drawLock);
        self->drawnCount = 0;
    });
}

void TimeDisplayFilter::redraw(bool now) { windowSlot.redraw(now, lock); }

void TimeDisplayFilter::process(SampleBuffer& buffer) {
    LockGuard guard(lock);
    // Unsigned, so a counter that has run past INT_MAX still counts on.
    int b = static_cast<int>(static_cast<unsigned>(buffer.chunkCounter) % static_cast<unsigned>(refresh + 1));
    if (b >= refresh - 10) {
        LockGuard drawing(drawLock);
        ringIndex = (ringIndex + 1) % ringSize;
        ring[ringIndex]->copyFrom(buffer);
    }
    if (b == refresh) {
        {
            LockGuard drawing(drawLock);
            startSlot = ringIndex - chunks + ringSize + 1;
        }
        // Held across the redraw so that the window outlives it; drawing
        // itself takes only drawLock.
        redraw(synchronous);
    }
}

void TimeDisplayFilter::paintWindow(DisplaySurface& surface, int width, int height) {
    LockGuard drawing(drawLock);
    draw(surface, width, height);
}

void TimeDisplayFilter::windowResized(int, int) {
    {
        LockGuard drawing(drawLock);
        drawnCount = 0;
    }
    // While the chain runs, the next captured chunk redraws anyway.
    if (!isActive()) redraw(false);
}

void TimeDisplayFilter::windowCloseRequested() {
    showWindow(false);
    notifyValueChanged(0);
    notifyTextChanged(0);
}

// One column of width W / chunks per chunk shown. Within a column the samples
// are grouped by the pixel they fall on (the running x advances by
// width / samples per sample), and each group becomes one point at its mean a:
//   linear:      m = -a * factor
//   logarithmic: t = max(0, (20 log10 |a| + 120) / 120), m = +-t * factor
//                (|a| = 0 taken as 0.0001, i.e. -80 dB; up for a >= 0)
//   y = H/2 + m * H/2
// so -120 dB sits on the middle line and 0 dB at the top or bottom.
void TimeDisplayFilter::draw(DisplaySurface& surface, int width, int height) {
    if (width > 0) {
        // Each column contributes at most its width plus one point.
        size_t need = static_cast<size_t>(width) + static_cast<size_t>(chunks) + 2;
        if (points.size() < need) points.resize(need);
    }
    if (drawnCount == 0)
        surface.fillRect(0, 0, width, height, black);
    else if (drawnCount > 1)
        surface.drawPolyline(points.data(), drawnCount, black); // erase the old line
    if (width <= 0 || height <= 0 || chunks <= 0) {
        drawnCount = 1;
        return;
    }

    const int half = height >> 1;
    const double factor = verticalFactor;
    const double columnWidth = static_cast<double>(width) / chunks;
    double edge = 0.0;
    int n = 0;
    for (int i = startSlot; i < startSlot + chunks; ++i) {
        SampleBuffer* slot = ring[i % ringSize];
        int left = static_cast<int>(edge);
        edge += columnWidth;
        int columnPixels = static_cast<int>(edge) - left;
        int d = slot->currCount;
        if (columnPixels < 1 || d <= 0) continue;
        const float* x = slot->getBuffer(0);
        const double step = static_cast<double>(columnPixels) / d;
        double position = left;
        int j = 0;
        while (j < d) {
            int pixel = static_cast<int>(position);
            double sum = 0.0;
            int count = 0;
            do {
                sum += x[j++];
                ++count;
                position += step;
            } while (j < d && static_cast<int>(position) == pixel);
            double a = sum / count;
            double m;
            if (!logarithmic) {
                m = -a * factor;
            } else {
                double t = (20.0 * std::log10(a != 0.0 ? std::fabs(a) : 0.0001) + 120.0) / 120.0;
                if (t < 0.0) t = 0.0;
                m = a >= 0.0 ? -t * factor : t * factor;
            }
            if (static_cast<size_t>(n) < points.size())
                points[static_cast<size_t>(n++)] = DisplayPoint{pixel, static_cast<int>(half + m * half)};
        }
    }
    surface.drawPolyline(points.data(), n, white);
    drawnCount = n;
}

} // namespace sonabel
