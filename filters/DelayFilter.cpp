#include "filters/DelayFilter.h"

#include "core/Lock.h"
#include "core/Log.h"
#include "core/SampleBuffer.h"

#include <cstdio>
#include <cstring>

namespace sonabel {

namespace {

const ParameterInfo parameterTable[] = {
    {"Delay", 0, 200, PARAM_SLIDER},
    {"Delay volume", 0, 100, PARAM_SLIDER},
};

} // namespace

DelayFilter::DelayFilter() : lock(createLock()) {
    lock->setName("DelayFilter");
    LockGuard guard(lock);
    recompute(format.channels);
}

DelayFilter::~DelayFilter() {
    delete delayBuffer;
    delete lock;
}

void DelayFilter::setFormat(const AudioFormat& newFormat) {
    LockGuard guard(lock);
    format.copyFrom(newFormat);
    recompute(format.channels);
}

const ParameterInfo* DelayFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(parameterTable, getParameterCount(), index, "DelayFilter");
}

void DelayFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(getParameterCount(), index, value, "DelayFilter")) return;
    value = clampParameter(parameterTable[index], value);
    {
        LockGuard guard(lock);
        if (index == 0)
            delay = value;
        else
            volume = value;
        recompute(format.channels);
    }
    notifyTextChanged(index);
}

int32_t DelayFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    if (index == 0) return delay;
    if (index == 1) return volume;
    return 0;
}

char* DelayFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (capacity <= 0) return buffer;
    buffer[0] = 0;
    LockGuard guard(lock);
    if (index == 0)
        std::snprintf(buffer, static_cast<size_t>(capacity), "%.2f ms delay", static_cast<double>(delayMs));
    else if (index == 1)
        std::snprintf(buffer, static_cast<size_t>(capacity), "%d%% linear delay volume", volume);
    return buffer;
}

int DelayFilter::getDelayFrames() {
    LockGuard guard(lock);
    return delayFrames;
}

int DelayFilter::getCurrentPosition() {
    LockGuard guard(lock);
    return currPos;
}

int DelayFilter::getRingSamples() {
    LockGuard guard(lock);
    return delayBuffer ? delayBuffer->capacity : 0;
}

int DelayFilter::getRingChannels() {
    LockGuard guard(lock);
    return delayBuffer ? delayBuffer->channelCount : 0;
}

void DelayFilter::recompute(int channels) {
    LockGuard guard(lock);
    int old = delayFrames;
    delayMs = static_cast<float>(delay) * 2.0f;
    // In single precision throughout, so 80 ms at 44100 Hz is 3528 frames.
    float frames = static_cast<float>(static_cast<int>(delayMs)) * format.sampleRate * 0.001f;
    delayFrames = frames > 0.0f ? static_cast<int>(frames) : 0;

    // The ring grows in steps of a quarter second; a rate below 4 Hz would
    // make the step 0, so it is at least one frame.
    int quarter = static_cast<int>(format.sampleRate * 0.25f);
    if (quarter < 1) quarter = 1;
    if (channels < 1) channels = 1;
    if (!delayBuffer || delayBuffer->channelCount < channels || delayBuffer->capacity < delayFrames) {
        int ringChannels = channels;
        if (delayBuffer && delayBuffer->channelCount > ringChannels) ringChannels = delayBuffer->channelCount;
        int samples = quarter * (delayFrames / quarter + 1);
        if (delayBuffer && delayBuffer->capacity > samples) samples = delayBuffer->capacity;
        auto* ring = new SampleBuffer(ringChannels, samples); // silent
        if (delayBuffer) {
            // The old delay's samples carry over; beyond them the ring is silent.
            int keep = old < delayBuffer->capacity ? old : delayBuffer->capacity;
            for (int c = 0; c < ringChannels; ++c)
                std::memcpy(ring->getBuffer(c), delayBuffer->getBuffer(c % delayBuffer->channelCount),
                            sizeof(float) * static_cast<size_t>(keep));
            delete delayBuffer;
        }
        delayBuffer = ring;
    }

    // A shorter delay keeps the oldest part of the history, so that it is
    // what is read next.
    if (old > delayFrames && currPos != 0) {
        int index = currPos + delayFrames - old;
        if (index < 0) index = 0;
        int n = old - currPos;
        if (index + n > delayFrames) n = delayFrames - index;
        if (n > 0)
            for (int c = 0; c < delayBuffer->channelCount; ++c) {
                float* ring = delayBuffer->getBuffer(c);
                std::memmove(ring + index, ring + currPos, sizeof(float) * static_cast<size_t>(n));
            }
        currPos = index;
    }
}

// y[t] = x[t] + g * y[t - delayFrames]; both the output and the ring take y.
void DelayFilter::process(SampleBuffer& buffer) {
    LockGuard guard(lock);
    if (delayFrames == 0) return;
    // A buffer may carry more channels than the format the filter was told
    // about (a filter added after the last format change); give every one
    // its own history rather than sharing one.
    if (buffer.channelCount > delayBuffer->channelCount) recompute(buffer.channelCount);

    float g = static_cast<float>(volume) * 0.01f;
    int n = buffer.currCount;
    for (int c = 0; c < buffer.channelCount; ++c) {
        float* x = buffer.getBuffer(c);
        float* ring = delayBuffer->getBuffer(c);
        int dRemain = delayFrames - currPos;
        if (dRemain < 0) {
            logDebug(1, "dRemain<0");
            dRemain = 0;
        }
        if (currPos > delayFrames) {
            logDebug(1, "currPos>delayFrames");
            currPos = 0;
        }
        if (delayFrames > delayBuffer->capacity) {
            logDebug(1, "delayFrames>delayBuffer->getSampleCount()");
            delayFrames = delayBuffer->capacity;
        }
        int pos = currPos;
        for (int i = 0; i < n; ++i) {
            if (dRemain <= 0) {
                pos = 0;
                dRemain = delayFrames;
            }
            float y = g * ring[pos] + x[i];
            x[i] = y;
            ring[pos] = y;
            ++pos;
            --dRemain;
        }
    }
    currPos = static_cast<int>((static_cast<long long>(currPos) + n) % delayFrames);
}

} // namespace sonabel
