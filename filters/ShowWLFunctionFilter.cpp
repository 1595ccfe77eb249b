#include "filters/ShowWLFunctionFilter.h"

#include "core/Lock.h"
#include "core/Log.h"
#include "core/SampleBuffer.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sonabel {

namespace {
const ParameterInfo showParameters[] = {
    {"Scale", 0, 9, PARAM_CHOICE},
    {"Time", 0, 100, PARAM_SLIDER},
    {"Amplitude", 0, 100, PARAM_SLIDER},
};
constexpr const char* className = "ShowWLFunctionFilter";

double decibels(int step) { return step * 0.5 - 30.5; }
} // namespace

ShowWLFunctionFilter::ShowWLFunctionFilter() : lock(createLock()) {
    lock->setName("ShowWLFunctionFilter");
    recompute();
}

ShowWLFunctionFilter::~ShowWLFunctionFilter() { delete lock; }

void ShowWLFunctionFilter::recompute() {
    amplitude = amplitudeStep == 0 ? 0.0f : static_cast<float>(std::pow(10.0, decibels(amplitudeStep) * 0.05));
}

void ShowWLFunctionFilter::setFormat(const AudioFormat& f) {
    LockGuard guard(lock);
    format.copyFrom(f);
}

void ShowWLFunctionFilter::fill(float* values, int count, int levelNumber) const {
    if (!values || count <= 0) return;
    std::fill(values, values + count, 0.0f);
    if (levelNumber != scale) return;
    int p = static_cast<int>(std::floor(time * count * 0.01 + 0.5));
    p = std::clamp(p, 0, count - 1);
    values[p] = amplitude;
}

void ShowWLFunctionFilter::process(SampleBuffer& buffer) {
    WTFilterInfo* info = buffer.attachedCoeffs;
    if (!info) return;
    LockGuard guard(lock);
    info->forEachBand([this](float* values, int count, int band) { fill(values, count, band); });
}

const ParameterInfo* ShowWLFunctionFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(showParameters, 3, index, className);
}

void ShowWLFunctionFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(3, index, value, className)) return;
    value = clampParameter(showParameters[index], value);
    {
        LockGuard guard(lock);
        if (index == 0)
            scale = value;
        else if (index == 1)
            time = value;
        else
            amplitudeStep = value;
        recompute();
    }
    notifyTextChanged(index);
}

int32_t ShowWLFunctionFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    switch (index) {
    case 0: return scale;
    case 1: return time;
    case 2: return amplitudeStep;
    default: return 0;
    }
}

char* ShowWLFunctionFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (!buffer || capacity <= 0) return buffer;
    buffer[0] = 0;
    const size_t cap = static_cast<size_t>(capacity);
    LockGuard guard(lock);
    switch (index) {
    case 0:
        if (scale == 9)
            std::snprintf(buffer, cap, "Approximations");
        else
            std::snprintf(buffer, cap, "Details level %d", scale + 1);
        break;
    case 1: std::snprintf(buffer, cap, "Time %d%%", time); break;
    case 2:
        if (amplitudeStep == 0)
            std::snprintf(buffer, cap, "-inf dB (0 linear)");
        else
            std::snprintf(buffer, cap, "%.1f dB (%.3f linear)", decibels(amplitudeStep),
                          static_cast<double>(amplitude));
        break;
    default: break;
    }
    return buffer;
}

} // namespace sonabel
