#include "TestStreams.h"

#include "core/SampleBuffer.h"

#include <cstdio>

namespace sonabel::test {

ConstantReader::ConstantReader(float v, int channels, float rate, int len) : format(channels, rate), value(v), length(len) {}

ConstantReader::~ConstantReader() {
    if (destroyedFlag) *destroyedFlag = true;
}

int32_t ConstantReader::available(int32_t frames) {
    if (length < 0) return frames;
    int left = length - delivered;
    if (left <= 0) return -1;
    return left < frames ? left : frames;
}

int32_t ConstantReader::read(SampleBuffer& buffer, int32_t, float srcFactor) {
    int n = buffer.currCount;
    if (length >= 0 && n > length - delivered) n = length - delivered > 0 ? length - delivered : 0;
    for (int c = 0; c < buffer.channelCount; ++c) {
        float* p = buffer.getBuffer(c);
        for (int f = 0; f < buffer.currCount; ++f) {
            float v = f < n ? value : 0.0f;
            p[f] = srcFactor == 0.0f ? v : p[f] + v * srcFactor;
        }
    }
    delivered += n;
    return n;
}

void RecordingWriter::write(SampleBuffer& buffer) {
    if (keepSamples) {
        const float* p = buffer.getBuffer(0);
        samples.insert(samples.end(), p, p + buffer.currCount);
    }
    chunks++;
    frames += buffer.currCount;
}

namespace {
ParameterInfo gainInfo[] = {{"Gain", 0, 200, PARAM_SLIDER}};
}

void GainFilter::process(SampleBuffer& buffer) {
    processCalls++;
    const float g = static_cast<float>(gain.load()) / 100.0f;
    for (int c = 0; c < buffer.channelCount; ++c) {
        float* p = buffer.getBuffer(c);
        for (int f = 0; f < buffer.currCount; ++f) p[f] *= g;
    }
}

const ParameterInfo* GainFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(gainInfo, 1, index, "GainFilter");
}

void GainFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(1, index, value, "GainFilter")) return;
    gain = clampParameter(gainInfo[0], value);
    notifyTextChanged(index);
}

char* GainFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    buffer[0] = 0;
    if (index == 0) std::snprintf(buffer, static_cast<size_t>(capacity), "%d %%", gain.load());
    return buffer;
}

} // namespace sonabel::test
