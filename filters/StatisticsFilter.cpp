#include "filters/StatisticsFilter.h"

#include "core/Lock.h"
#include "core/SampleBuffer.h"

#include <cstdio>

namespace sonabel {

namespace {

const ParameterInfo parameterTable[] = {
    {"Update frequency", 0, 50, PARAM_SLIDER}, {"Mean", 0, 0, PARAM_DISPLAY},    {"Energy", 0, 0, PARAM_DISPLAY},
    {"Minimum", 0, 0, PARAM_DISPLAY},          {"Maximum", 0, 0, PARAM_DISPLAY},
};

constexpr float noMinimum = 1000000.0f;
constexpr float noMaximum = -1000000.0f;

} // namespace

StatisticsFilter::StatisticsFilter() : lock(createLock()) {
    lock->setName("StatisticsFilter");
    recompute();
}

StatisticsFilter::~StatisticsFilter() { delete lock; }

int StatisticsFilter::intervalOf(int value) {
    if (value <= 0) return 1;
    if (value <= 48) return 5 * value;
    if (value == 49) return 500;
    return 1000;
}

void StatisticsFilter::recompute() {
    LockGuard guard(lock);
    updateInterval = intervalOf(update);
}

void StatisticsFilter::setFormat(const AudioFormat& newFormat) {
    LockGuard guard(lock);
    format.copyFrom(newFormat);
    recompute();
}

const ParameterInfo* StatisticsFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(parameterTable, getParameterCount(), index, "StatisticsFilter");
}

void StatisticsFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(getParameterCount(), index, value, "StatisticsFilter")) return;
    value = clampParameter(parameterTable[index], value);
    {
        LockGuard guard(lock);
        if (index == 0) update = value;
        recompute();
    }
    notifyTextChanged(index);
}

int32_t StatisticsFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    return index == 0 ? update : 0;
}

char* StatisticsFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (capacity <= 0) return buffer;
    buffer[0] = 0;
    auto size = static_cast<size_t>(capacity);
    LockGuard guard(lock);
    switch (index) {
    case 0: std::snprintf(buffer, size, "%d chunks", updateInterval); break;
    case 1: std::snprintf(buffer, size, "%.6f", static_cast<double>(shownMean)); break;
    case 2: std::snprintf(buffer, size, "%.6f", static_cast<double>(energy)); break;
    case 3: std::snprintf(buffer, size, "%.6f", static_cast<double>(shownMinimum)); break;
    case 4: std::snprintf(buffer, size, "%.6f", static_cast<double>(shownMaximum)); break;
    default: break;
    }
    return buffer;
}

void StatisticsFilter::setActive(bool on) {
    {
        LockGuard guard(lock);
        chunkCount = 0;
        mean = 0.0f;
        energySum = 0.0f;
        energy = 0.0f;
        minimum = noMinimum;
        maximum = noMaximum;
        shownMean = mean;
        shownMinimum = minimum;
        shownMaximum = maximum;
    }
    for (int i = 1; i <= 4; ++i) notifyTextChanged(i);
    AudioFilter::setActive(on);
}

void StatisticsFilter::process(SampleBuffer& buffer) {
    bool published = false;
    {
        LockGuard guard(lock);
        if (chunkCount == 0) {
            mean = 0.0f;
            minimum = noMinimum;
            maximum = noMaximum;
        }
        const int n = buffer.currCount;
        for (int c = 0; c < buffer.channelCount; ++c) {
            const float* x = buffer.getBuffer(c);
            long double sum = 0.0L;
            long double squares = 0.0L;
            for (int i = 0; i < n; ++i) {
                sum += x[i];
                squares += static_cast<long double>(x[i]) * x[i];
                if (x[i] < minimum) minimum = x[i];
                if (x[i] > maximum) maximum = x[i];
            }
            // An empty window has no mean; it must not turn the average into NaN.
            if (n > 0) mean = static_cast<float>((sum / n + mean) * 0.5L);
            energySum = static_cast<float>(energySum + squares);
        }
        // The count stays under the lock too: setActive resets it from the
        // interface thread.
        ++chunkCount;
        if (chunkCount > updateInterval) {
            publish();
            published = true;
        }
    }
    if (published)
        for (int i = 1; i <= 4; ++i) notifyTextChanged(i);
}

void StatisticsFilter::publish() {
    LockGuard guard(lock);
    energy = energySum / static_cast<float>(chunkCount);
    energySum = 0.0f;
    shownMean = mean;
    shownMinimum = minimum;
    shownMaximum = maximum;
    chunkCount = 0;
}

void StatisticsFilter::inputEnded() {
    {
        LockGuard guard(lock);
        // Nothing gathered since the last publication: the figures stand.
        if (chunkCount == 0) return;
        publish();
    }
    for (int i = 1; i <= 4; ++i) notifyTextChanged(i);
}

} // namespace sonabel
