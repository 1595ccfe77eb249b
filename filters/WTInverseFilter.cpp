#include "filters/WTInverseFilter.h"

#include "core/SampleBuffer.h"
#include "filters/WTForwardFilter.h"
#include "wavelet/WTFilterInfo.h"

#include <cmath>
#include <cstdio>

namespace sonabel {

namespace {
const ParameterInfo inverseParameters[] = {
    {"DC Offset Error", 0, 0, PARAM_DISPLAY},
    {"DC Offset correction type", 0, 2, PARAM_CHOICE},
};
const char* const correctionNames[] = {"No correction", "Re-establish original offsets at start and end",
                                       "Connect beginning with end of last chunk"};
constexpr const char* className = "WTInverseFilter";
constexpr int measuredChunks = 20;
} // namespace

void WTInverseFilter::process(SampleBuffer& buffer) {
    const int N = buffer.currCount;
    const bool haveSamples = N > 0 && buffer.channelCount > 0;
    float first = 0.0f, last = 0.0f;
    if (haveSamples) {
        const float* y = buffer.getBuffer(0);
        first = y[0];
        last = y[N - 1];
    }
    if (WTFilterInfo* info = buffer.attachedCoeffs) {
        if (!info->owner || info->owner->getFilterInfo() != info) return;
        info->owner->rebuild(buffer);
    }
    if (!haveSamples) return;

    if (chunkCounter < measuredChunks) {
        ++chunkCounter;
    } else {
        dcOffsetError = startErrorSum / static_cast<float>(measuredChunks);
        startErrorSum = 0.0f;
        endErrorSum = 0.0f;
        chunkCounter = 0;
        notifyTextChanged(0);
    }

    const int type = correctionType.load();
    if (type == 1) {
        // y[k] += s + k g / (N - 1): the first and last samples of channel 0
        // regain their values from before the transform.
        float* y = buffer.getBuffer(0);
        const float s = first - y[0];
        if (N == 1) {
            y[0] += s;
        } else {
            const float g = (last - y[N - 1]) - s;
            const float step = g / static_cast<float>(N - 1);
            float ramp = 0.0f;
            for (int k = 0; k < N; ++k) {
                y[k] += s + ramp;
                ramp += step;
            }
        }
    } else if (type == 2) {
        // y[k] += h - k h / (N - 1) for k < N - 1, h = the previous chunk's
        // last sample minus y[0]: the chunk starts where the last one ended.
        const int C = buffer.channelCount;
        if (static_cast<int>(lastSamples.size()) < C) lastSamples.assign(static_cast<size_t>(C), 0.0f);
        for (int c = 0; c < C; ++c) {
            float* y = buffer.getBuffer(c);
            const float h = lastSamples[static_cast<size_t>(c)] - y[0];
            if (N > 1) {
                const float step = -h / static_cast<float>(N - 1);
                float ramp = h;
                for (int k = 0; k < N - 1; ++k) {
                    y[k] += ramp;
                    ramp += step;
                }
            }
            lastSamples[static_cast<size_t>(c)] = y[N - 1];
        }
    }

    const float* y = buffer.getBuffer(0);
    startErrorSum += std::fabs(first - y[0]);
    endErrorSum += std::fabs(last - y[N - 1]);
}

const ParameterInfo* WTInverseFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(inverseParameters, 2, index, className);
}

void WTInverseFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(2, index, value, className)) return;
    if (index == 1) correctionType = clampParameter(inverseParameters[1], value);
    notifyTextChanged(index);
}

int32_t WTInverseFilter::getParameter(int32_t index) { return index == 1 ? correctionType.load() : 0; }

char* WTInverseFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (!buffer || capacity <= 0) return buffer;
    buffer[0] = 0;
    const size_t cap = static_cast<size_t>(capacity);
    if (index == 0)
        std::snprintf(buffer, cap, "%.6f", static_cast<double>(dcOffsetError.load()));
    else if (index == 1)
        std::snprintf(buffer, cap, "%s", correctionNames[correctionType.load()]);
    return buffer;
}

} // namespace sonabel
