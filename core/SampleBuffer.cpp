#include "core/SampleBuffer.h"

#include "core/Log.h"

#include <cstring>

namespace sonabel {

SampleBuffer::SampleBuffer(int channels, int samples)
    : capacity(samples < 0 ? 0 : samples), channelCount(channels < 0 ? 0 : channels), currCount(capacity) {
    subsetStack.reserve(8);
    allocatedChannels = channelCount;
    channelData = new float*[static_cast<size_t>(allocatedChannels > 0 ? allocatedChannels : 1)];
    for (int c = 0; c < allocatedChannels; ++c) channelData[c] = new float[static_cast<size_t>(capacity)]();
}

SampleBuffer::~SampleBuffer() {
    freeChannels();
    delete[] channelData;
}

void SampleBuffer::freeChannels() {
    for (int c = 0; c < allocatedChannels; ++c) delete[] channelData[c];
    allocatedChannels = 0;
}

bool SampleBuffer::inBounds(int start, int count) const {
    long a = static_cast<long>(currStart) + start;
    return start >= 0 && count >= 0 && count <= currCount && a + count <= static_cast<long>(currStart) + currCount;
}

float* SampleBuffer::getBuffer(int channel) {
    if (channel >= 0 && channel < channelCount) return channelData[channel] + currStart;
    logError(2, "Wrong parameters to SampleBuffer::getBuffer(%d): channelCount=%d.", channel, channelCount);
    return allocatedChannels > 0 ? channelData[0] : nullptr;
}

void SampleBuffer::makeSilence(int start, int count) {
    if (!inBounds(start, count)) {
        logError(2, "Wrong parameters to SampleBuffer::makeSilence(%d, %d): currStart=%d, currCount=%d.",
                 currStart + start, count, currStart, currCount);
        return;
    }
    for (int c = 0; c < channelCount; ++c)
        std::memset(channelData[c] + currStart + start, 0, sizeof(float) * static_cast<size_t>(count));
}

void SampleBuffer::pushSubset(int start, int count) {
    if (!inBounds(start, count)) {
        logError(2, "SampleBuffer::pushSubset(%d, %d): parameters out of bounds. currStart=%d, currCount=%d",
                 currStart + start, count, currStart, currCount);
        start = 0;
        if (count > currCount) count = currCount;
        if (count < 0) count = 0;
    }
    subsetStack.push_back(Window{currStart, currCount});
    currStart += start;
    currCount = count;
}

void SampleBuffer::popSubset() {
    if (subsetStack.empty()) {
        logError(2, "SampleBuffer::popSubset() stack is already empty.");
        return;
    }
    Window w = subsetStack.back();
    subsetStack.pop_back();
    currStart = w.start;
    currCount = w.count;
}

void SampleBuffer::clearSubsets() {
    while (!subsetStack.empty()) popSubset();
}

void SampleBuffer::setSize(int samples, int channels) {
    if (samples < 0) samples = 0;
    if (channels < 0) channels = 0;
    // The window keeps its start, so the arrays must reach currStart + samples.
    bool grow = currStart + samples > capacity || (channels > allocatedChannels && !fixedChannels);
    currCount = samples;
    if (!fixedChannels) channelCount = channels;
    if (!grow) return;
    freeChannels();
    delete[] channelData;
    capacity = currStart + samples;
    allocatedChannels = channelCount;
    channelData = new float*[static_cast<size_t>(allocatedChannels > 0 ? allocatedChannels : 1)];
    for (int c = 0; c < allocatedChannels; ++c) channelData[c] = new float[static_cast<size_t>(capacity)];
}

void SampleBuffer::copyChannel(int from, int to) {
    float* src = getBuffer(from);
    float* dst = getBuffer(to);
    if (src && dst && src != dst) std::memmove(dst, src, sizeof(float) * static_cast<size_t>(currCount));
}

void SampleBuffer::copyFrom(SampleBuffer& other) {
    clearSubsets();
    setSize(other.currCount, other.channelCount);
    if (other.channelCount <= 0) return;
    for (int c = 0; c < channelCount; ++c) {
        const float* src = other.channelData[c % other.channelCount] + other.currStart;
        std::memcpy(channelData[c], src, sizeof(float) * static_cast<size_t>(currCount));
    }
    currStart = 0;
}

} // namespace sonabel
