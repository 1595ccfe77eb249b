#include "filters/DifferenceEndFilter.h"

#include "core/SampleBuffer.h"
#include "filters/DifferenceCopy.h"

#include <cstdio>

namespace sonabel {

namespace {

const ParameterInfo parameterTable[] = {
    {"Listen to difference signal", 0, 1, PARAM_CHECKBOX},
};

} // namespace

const ParameterInfo* DifferenceEndFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(parameterTable, getParameterCount(), index, "DifferenceEndFilter");
}

void DifferenceEndFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(getParameterCount(), index, value, "DifferenceEndFilter")) return;
    mode.store(clampParameter(parameterTable[index], value));
    notifyTextChanged(index);
}

char* DifferenceEndFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (capacity <= 0) return buffer;
    buffer[0] = 0;
    if (index == 0) std::snprintf(buffer, static_cast<size_t>(capacity), "%s", mode.load() ? "Difference" : "Bypass");
    return buffer;
}

void DifferenceEndFilter::process(SampleBuffer& buffer) {
    DifferenceCopy& shared = DifferenceCopy::shared();
    if (!shared.pending) return;
    SampleBuffer& copy = shared.copy;
    if (mode.load() == 1 && copy.channelCount > 0) {
        int n = buffer.currCount < copy.currCount ? buffer.currCount : copy.currCount;
        for (int c = 0; c < buffer.channelCount; ++c) {
            float* x = buffer.getBuffer(c);
            const float* d = copy.getBuffer(c % copy.channelCount);
            for (int i = 0; i < n; ++i) x[i] -= d[i];
        }
    }
    shared.pending = false;
}

} // namespace sonabel
