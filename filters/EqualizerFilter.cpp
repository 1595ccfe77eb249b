#include "filters/EqualizerFilter.h"

#include "core/Lock.h"
#include "core/Log.h"
#include "core/SampleBuffer.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"

#include <cstdio>

namespace sonabel {

namespace {
const ParameterInfo equalizerParameters[] = {
    {"Type", 0, 1, PARAM_CHOICE},
    {"Details level 1", 0, 100, PARAM_SLIDER},
    {"Details level 2", 0, 100, PARAM_SLIDER},
    {"Details level 3", 0, 100, PARAM_SLIDER},
    {"Details level 4", 0, 100, PARAM_SLIDER},
    {"Details level 5", 0, 100, PARAM_SLIDER},
    {"Details level 6", 0, 100, PARAM_SLIDER},
    {"Details level 7", 0, 100, PARAM_SLIDER},
    {"Details level 8", 0, 100, PARAM_SLIDER},
    {"Details level 9", 0, 100, PARAM_SLIDER},
    {"Approximations", 0, 100, PARAM_SLIDER},
};
const char* const modeNames[] = {"Multiplying coefficients", "Adding coefficients"};
constexpr const char* className = "EqualizerFilter";
constexpr int parameterCount = 1 + EqualizerFilter::bandCount;
constexpr int firstBand = parameterCount - EqualizerFilter::bandCount;
} // namespace

EqualizerFilter::EqualizerFilter() : lock(createLock()) {
    lock->setName("EqualizerFilter");
    for (int b = 0; b < bandCount; ++b) {
        multiplySteps[b] = 50;
        addSteps[b] = 50;
    }
    recompute();
}

EqualizerFilter::~EqualizerFilter() { delete lock; }

void EqualizerFilter::recompute() {
    LockGuard guard(lock);
    for (int b = 0; b < bandCount; ++b) {
        factors[b] = static_cast<float>(multiplySteps[b] * 0.02);
        summands[b] = static_cast<float>((addSteps[b] - 50) * 0.02);
    }
}

void EqualizerFilter::setFormat(const AudioFormat& f) {
    LockGuard guard(lock);
    format.copyFrom(f);
    recompute();
}

void EqualizerFilter::apply(float* values, int count, int band) const {
    if (!values) return;
    if (mode == 0) {
        const float factor = factors[band];
        for (int k = 0; k < count; ++k) values[k] *= factor;
        return;
    }
    // The magnitude grows or shrinks by s and never crosses zero. Both
    // sides are computed and one is chosen: coefficients change sign at
    // random, and a branch on the sign would mispredict half the time.
    const float s = summands[band];
    for (int k = 0; k < count; ++k) {
        const float t = values[k];
        const float up = t + s, down = t - s;
        const float positive = up < 0.0f ? 0.0f : up;
        const float negative = down > 0.0f ? 0.0f : down;
        values[k] = t >= 0.0f ? positive : negative;
    }
}

void EqualizerFilter::process(SampleBuffer& buffer) {
    WTFilterInfo* info = buffer.attachedCoeffs;
    if (!info) return;
    LockGuard guard(lock);
    info->forEachBand([this](float* values, int count, int band) { apply(values, count, band); });
}

const ParameterInfo* EqualizerFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(equalizerParameters, parameterCount, index, className);
}

void EqualizerFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(parameterCount, index, value, className)) return;
    value = clampParameter(equalizerParameters[index], value);
    {
        LockGuard guard(lock);
        if (index == 0) {
            mode = value;
            // The band controls now show the other set of steps.
            for (int b = firstBand; b < parameterCount; ++b) {
                notifyValueChanged(b);
                notifyTextChanged(b);
            }
        } else {
            const int band = index - firstBand;
            if (mode == 0)
                multiplySteps[band] = value;
            else
                addSteps[band] = value;
            recompute();
        }
    }
    notifyTextChanged(index);
}

int32_t EqualizerFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    if (index == 0) return mode;
    if (index < firstBand || index >= parameterCount) return 0;
    const int band = index - firstBand;
    return mode == 0 ? multiplySteps[band] : addSteps[band];
}

char* EqualizerFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (!buffer || capacity <= 0) return buffer;
    buffer[0] = 0;
    const size_t cap = static_cast<size_t>(capacity);
    LockGuard guard(lock);
    if (index == 0) {
        std::snprintf(buffer, cap, "%s", modeNames[mode]);
    } else if (index >= firstBand && index < parameterCount) {
        const int band = index - firstBand;
        if (mode == 0)
            std::snprintf(buffer, cap, "%.6f factor", static_cast<double>(factors[band]));
        else
            std::snprintf(buffer, cap, "%.6f summand", static_cast<double>(summands[band]));
    }
    return buffer;
}

} // namespace sonabel
