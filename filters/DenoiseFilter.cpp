#include "filters/DenoiseFilter.h"

#include "core/Lock.h"
#include "core/SampleBuffer.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"

#include <cmath>
#include <cstdio>

namespace sonabel {

namespace {
const ParameterInfo denoiseParameters[] = {
    {"Threshold", 0, 200, PARAM_SLIDER},
    {"Type", 0, 2, PARAM_CHOICE},
    {"Number of scales", 0, 9, PARAM_CHOICE},
    {"Denoise also padding coefficients", 0, 1, PARAM_CHECKBOX},
};
const char* const typeNames[] = {"Soft Thresholding", "Hard Thresholding", "Dynamic Thresholding"};
constexpr const char* className = "DenoiseFilter";

double decibels(int step) { return step * 0.5 - 70.5; }
} // namespace

DenoiseFilter::DenoiseFilter() : lock(createLock()) {
    lock->setName("DenoiseFilter");
    recompute();
}

DenoiseFilter::~DenoiseFilter() { delete lock; }

void DenoiseFilter::recompute() {
    LockGuard guard(lock);
    threshold = thresholdStep == 0 ? 0.0f : static_cast<float>(std::pow(10.0, decibels(thresholdStep) * 0.05));
}

void DenoiseFilter::setFormat(const AudioFormat& f) {
    LockGuard guard(lock);
    format.copyFrom(f);
    recompute();
}

void DenoiseFilter::apply(float* values, int count) const {
    const float T = threshold;
    switch (type) {
    case 0:
        for (int k = 0; k < count; ++k) {
            // Written without branches so that the loop vectorises.
            const float t = values[k];
            const float keep = std::fabs(t) < T ? 0.0f : 1.0f;
            values[k] = (t - std::copysign(T, t)) * keep;
        }
        break;
    case 1:
        for (int k = 0; k < count; ++k) values[k] *= std::fabs(values[k]) < T ? 0.0f : 1.0f;
        break;
    default:
        for (int k = 0; k < count; ++k) values[k] *= std::fabs(values[k]);
        break;
    }
}

void DenoiseFilter::process(SampleBuffer& buffer) {
    WTFilterInfo* info = buffer.attachedCoeffs;
    if (!info) return;
    LockGuard guard(lock);
    if (thresholdStep == 0) return;
    for (int c = 0; c < info->usedChannels; ++c) {
        WaveletCoeffs& coeffs = info->getCoeffs(c);
        const int J = coeffs.getLevelCount();
        const int F = J < scaleLimit ? J : scaleLimit;
        for (int i = 0; i < F; ++i) {
            int count = 0;
            float* values = includePadding ? coeffs.getDetails(i, count) : coeffs.getCore(i, count);
            if (values) apply(values, count);
        }
        if (J < scaleLimit) {
            int count = 0;
            float* values = includePadding ? coeffs.getApproximations(count) : coeffs.getCore(J, count);
            if (values) apply(values, count);
        }
    }
}

const ParameterInfo* DenoiseFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(denoiseParameters, 4, index, className);
}

void DenoiseFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(4, index, value, className)) return;
    value = clampParameter(denoiseParameters[index], value);
    {
        LockGuard guard(lock);
        switch (index) {
        case 0: thresholdStep = value; break;
        case 1: type = value; break;
        case 2: scaleLimit = value + 1; break;
        default: includePadding = value == 1; break;
        }
        recompute();
    }
    notifyTextChanged(index);
}

int32_t DenoiseFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    switch (index) {
    case 0: return thresholdStep;
    case 1: return type;
    case 2: return scaleLimit - 1;
    case 3: return includePadding ? 1 : 0;
    default: return 0;
    }
}

char* DenoiseFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (!buffer || capacity <= 0) return buffer;
    buffer[0] = 0;
    const size_t cap = static_cast<size_t>(capacity);
    LockGuard guard(lock);
    switch (index) {
    case 0:
        if (thresholdStep == 0)
            std::snprintf(buffer, cap, "-inf db threshold (0 linear)");
        else
            std::snprintf(buffer, cap, "%.1f db threshold (%.3f linear)", decibels(thresholdStep),
                          static_cast<double>(threshold));
        break;
    case 1: std::snprintf(buffer, cap, "%s", typeNames[type]); break;
    case 2:
        if (scaleLimit <= 9)
            std::snprintf(buffer, cap, "Denoise up to details level %d", scaleLimit);
        else
            std::snprintf(buffer, cap, "Denoise all detail levels and approximations");
        break;
    case 3: std::snprintf(buffer, cap, "%s", includePadding ? "yes" : "no"); break;
    default: break;
    }
    return buffer;
}

} // namespace sonabel
