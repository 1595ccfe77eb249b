#include "filters/WTForwardFilter.h"

#include "core/Lock.h"
#include "core/SampleBuffer.h"
#include "wavelet/TransformHistory.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"

#include <cstdio>

namespace sonabel {

namespace {
// The maxima follow the transform's counts (set again by the constructor).
ParameterInfo forwardParameters[] = {
    {"Wavelet", 0, 32, PARAM_CHOICE},
    {"Algorithm", 0, 4, PARAM_CHOICE},
};
constexpr const char* className = "WTForwardFilter";
} // namespace

WTForwardFilter::WTForwardFilter() : lock(createLock()) {
    lock->setName("WTForwardFilter");
    const int waveletMax = WaveletTransform::getWaveletCount() - 1;
    const int algorithmMax = WaveletTransform::getAlgorithmCount() - 1;
    if (forwardParameters[0].max != waveletMax) forwardParameters[0].max = waveletMax;
    if (forwardParameters[1].max != algorithmMax) forwardParameters[1].max = algorithmMax;
    transform.setWavelet(2);
    transform.setAlgorithm(1);
}

WTForwardFilter::~WTForwardFilter() {
    delete info;
    for (int c = 0; c < historyCount; ++c) delete histories[c];
    delete[] histories;
    delete lock;
}

void WTForwardFilter::setFormat(const AudioFormat& f) {
    LockGuard guard(lock);
    format.copyFrom(f);
}

void WTForwardFilter::process(SampleBuffer& buffer) {
    const int C = buffer.channelCount;
    const int N = buffer.currCount;
    {
        LockGuard guard(lock);
        if (!info || info->channelCapacity < C) {
            delete info;
            info = new WTFilterInfo(C, this);
        }
        if (historyCount < C) {
            for (int c = 0; c < historyCount; ++c) delete histories[c];
            delete[] histories;
            histories = new TransformHistory*[static_cast<size_t>(C)];
            for (int c = 0; c < C; ++c) histories[c] = new TransformHistory;
            historyCount = C;
        }
        for (int c = 0; c < C; ++c)
            transform.forwardTransform(buffer.getBuffer(c), N, info->getChannelCoeffs(c), histories[c]);
    }
    info->usedChannels = C;
    buffer.attachedCoeffs = info;
}

void WTForwardFilter::rebuild(SampleBuffer& buffer) {
    WTFilterInfo* attached = buffer.attachedCoeffs;
    if (!attached || attached != info) return;
    const int K = buffer.channelCount < attached->usedChannels ? buffer.channelCount : attached->usedChannels;
    if (K <= 0) return;
    for (int c = 0; c < K; ++c)
        if (buffer.currCount < attached->getChannelCoeffs(c).signalLength) return;
    {
        LockGuard guard(lock);
        for (int c = 0; c < K; ++c) transform.inverseTransform(attached->getChannelCoeffs(c), buffer.getBuffer(c));
    }
    buffer.attachedCoeffs = nullptr;
}

const ParameterInfo* WTForwardFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(forwardParameters, 2, index, className);
}

void WTForwardFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(2, index, value, className)) return;
    value = clampParameter(forwardParameters[index], value);
    {
        LockGuard guard(lock);
        if (index == 0)
            transform.setWavelet(value);
        else
            transform.setAlgorithm(value);
    }
    notifyTextChanged(index);
}

int32_t WTForwardFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    if (index == 0) return transform.getWavelet();
    if (index == 1) return transform.getAlgorithm();
    return 0;
}

char* WTForwardFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (!buffer || capacity <= 0) return buffer;
    buffer[0] = 0;
    const int value = getParameter(index);
    if (index == 0)
        std::snprintf(buffer, static_cast<size_t>(capacity), "%s", WaveletTransform::getWaveletName(value));
    else if (index == 1)
        std::snprintf(buffer, static_cast<size_t>(capacity), "%s", WaveletTransform::getAlgorithmName(value));
    return buffer;
}

} // namespace sonabel
