#pragma once
// "Display Wavelet function": replaces all coefficients a WTForwardFilter
// attached to the chunk by zeros except one, so that the inverse transform
// produces a single wavelet (or scaling function) at the chosen level and
// position. Scale 0..8 selects detail level scale + 1, 9 the approximations;
// time is the position in percent of the level's length; amplitude step s
// gives 0 for s = 0, else 10^((0.5 s - 30.5) / 20). Serialised by its lock.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

namespace sonabel {

class Lock;

class ShowWLFunctionFilter : public AudioFilter {
public:
    ShowWLFunctionFilter();
    ~ShowWLFunctionFilter() override;

    const char* getName() override { return "Display Wavelet function"; }
    const char* getDescription() override {
        return "See the wavelet function. Sets one of the wavelet coefficients and discards the other. Need to be in "
               "between forward and inverse transform. Put a time domain display after.";
    }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& f) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 3; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    float getAmplitude() const { return amplitude; }

private:
    void recompute();
    void fill(float* values, int count, int levelNumber) const;

    AudioFormat format;
    int scale = 4;
    int time = 50;
    int amplitudeStep = 70;
    float amplitude = 0.0f;
    Lock* lock;
};

} // namespace sonabel
