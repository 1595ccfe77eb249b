#pragma once
// "Wavelet Denoiser": shrinks or removes small wavelet coefficients. Works
// only on coefficients a WTForwardFilter attached to the chunk; without them
// it does nothing. process (audio thread) and the parameter operations
// (interface thread) are serialised by its lock.
//
// Rules for a coefficient t and threshold T:
//   soft:    |t| < T -> 0, else t - T (t >= 0) or t + T (t < 0)
//   hard:    |t| < T -> 0, else t
//   dynamic: t -> t |t| (T unused)
// Threshold step s: 0 -> T = 0 (nothing is done), else D = 0.5 s - 70.5 dB
// and T = 10^(D / 20).

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

namespace sonabel {

class Lock;

class DenoiseFilter : public AudioFilter {
public:
    DenoiseFilter();
    ~DenoiseFilter() override;

    const char* getName() override { return "Wavelet Denoiser"; }
    const char* getDescription() override {
        return "Filter for denoising. Need to use inbetween forward and inverse Wavelet Transform filters";
    }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& f) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 4; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    float getThreshold() const { return threshold; }

private:
    void recompute();
    void apply(float* values, int count) const;

    AudioFormat format;
    int thresholdStep = 10;
    float threshold = 0.0f;
    int type = 0;           // 0 soft, 1 hard, 2 dynamic
    int scaleLimit = 5;     // detail levels to process; 10 also the approximations
    bool includePadding = true;
    Lock* lock;
};

} // namespace sonabel
