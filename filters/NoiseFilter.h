#pragma once
// Adds white noise of a chosen level, uniform or Gaussian, to every channel,
// from the process-wide RandomGenerator. Volume step v > 0 is
// v / 3 - 67.3 dB (about -67 dB to -0.6 dB); step 0 adds nothing but still
// draws.
//
// process (audio thread) holds the lock for the chunk; setParameter and
// setFormat hold it while storing and recomputing the amplitude.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

namespace sonabel {

class Lock;
class SampleBuffer;

class NoiseFilter : public AudioFilter {
public:
    NoiseFilter();
    ~NoiseFilter() override;

    const char* getName() override { return "Noise generator"; }
    const char* getDescription() override { return "Generate white noise for testing with the denoiser."; }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& newFormat) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 2; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    // Peak (uniform) or standard deviation (Gaussian) of the noise, full scale 1.
    float getAmplitude();

private:
    static float decibelsOf(int value);
    void recompute();

    int volume = 10;
    float amplitude = 0.0f;
    int type = 0; // 0 uniform, 1 Gaussian
    AudioFormat format;
    Lock* lock;
};

} // namespace sonabel
