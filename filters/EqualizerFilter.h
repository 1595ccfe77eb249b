#pragma once
// "Wavelet Equalizer": scales or shifts the coefficients of each level that
// a WTForwardFilter attached to the chunk. Ten bands: detail levels 1..9
// and the approximations. Mode 0 multiplies by step * 0.02 (50 = 1.0);
// mode 1 moves each coefficient's magnitude by (step - 50) * 0.02 without
// letting it cross zero. Both sets of steps stay stored; the mode picks the
// one the band parameters show and processing uses. Serialised by its lock.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

namespace sonabel {

class Lock;

class EqualizerFilter : public AudioFilter {
public:
    static constexpr int bandCount = 10;

    EqualizerFilter();
    ~EqualizerFilter() override;

    const char* getName() override { return "Wavelet Equalizer"; }
    const char* getDescription() override {
        return "Filter for scale based processing. Need to use in between forward and inverse Wavelet Transform "
               "filters";
    }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& f) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 1 + bandCount; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

private:
    void recompute();
    void apply(float* values, int count, int band) const;

    AudioFormat format;
    int mode = 0; // 0 multiplying, 1 adding
    int multiplySteps[bandCount];
    int addSteps[bandCount];
    float factors[bandCount];
    float summands[bandCount];
    Lock* lock;
};

} // namespace sonabel
