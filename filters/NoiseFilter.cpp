#include "filters/NoiseFilter.h"

#include "core/Lock.h"
#include "core/SampleBuffer.h"
#include "filters/RandomGenerator.h"

#include <cmath>
#include <cstdio>

namespace sonabel {

namespace {

const ParameterInfo parameterTable[] = {
    {"Volume", 0, 200, PARAM_SLIDER},
    {"Type", 0, 1, PARAM_CHOICE},
};

} // namespace

NoiseFilter::NoiseFilter() : lock(createLock()) {
    lock->setName("NoiseFilter");
    recompute();
}

NoiseFilter::~NoiseFilter() { delete lock; }

float NoiseFilter::decibelsOf(int value) { return static_cast<float>(value) * 0.33333334f - 67.3f; }

void NoiseFilter::recompute() {
    LockGuard guard(lock);
    amplitude = volume > 0 ? static_cast<float>(std::pow(10.0, static_cast<double>(decibelsOf(volume)) * 0.05)) : 0.0f;
}

float NoiseFilter::getAmplitude() {
    LockGuard guard(lock);
    return amplitude;
}

void NoiseFilter::setFormat(const AudioFormat& newFormat) {
    LockGuard guard(lock);
    format.copyFrom(newFormat);
    recompute();
}

const ParameterInfo* NoiseFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(parameterTable, getParameterCount(), index, "NoiseFilter");
}

void NoiseFilter::setParameter(int32_t index, int32_t value) {
    if (!checkParameterIndex(getParameterCount(), index, value, "NoiseFilter")) return;
    value = clampParameter(parameterTable[index], value);
    {
        LockGuard guard(lock);
        if (index == 0)
            volume = value;
        else
            type = value;
        recompute();
    }
    notifyTextChanged(index);
}

int32_t NoiseFilter::getParameter(int32_t index) {
    LockGuard guard(lock);
    if (index == 0) return volume;
    if (index == 1) return type;
    return 0;
}

char* NoiseFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (capacity <= 0) return buffer;
    buffer[0] = 0;
    auto size = static_cast<size_t>(capacity);
    LockGuard guard(lock);
    if (index == 0) {
        if (volume > 0)
            std::snprintf(buffer, size, "%.1f dB (%.4f linear)", static_cast<double>(decibelsOf(volume)),
                          static_cast<double>(amplitude));
        else
            std::snprintf(buffer, size, "-inf dB");
    } else if (index == 1) {
        std::snprintf(buffer, size, "%s", type == 0 ? "Uniform white noise" : "Gaussian white noise");
    }
    return buffer;
}

// Uniform: x += (r / 16383.5 - 1) * amplitude, r = 0..32767, so -1..+1 times
// the amplitude. Gaussian: x += g * amplitude with g of unit variance.
void NoiseFilter::process(SampleBuffer& buffer) {
    LockGuard guard(lock);
    RandomGenerator& random = RandomGenerator::shared();
    std::lock_guard<RandomGenerator> draws(random);
    const int n = buffer.currCount;
    const double amp = amplitude;
    for (int c = 0; c < buffer.channelCount; ++c) {
        float* x = buffer.getBuffer(c);
        if (type == 0)
            for (int i = 0; i < n; ++i) x[i] = static_cast<float>(x[i] + (random.next() / 16383.5 - 1.0) * amp);
        else
            for (int i = 0; i < n; ++i) x[i] = static_cast<float>(x[i] + random.nextGaussian() * amp);
    }
}

} // namespace sonabel
