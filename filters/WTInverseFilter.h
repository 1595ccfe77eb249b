#pragma once
// "Inverse Wavelet Transform": rebuilds the samples from the coefficients
// that a WTForwardFilter attached to the chunk (through that filter's
// rebuild, under its lock), optionally corrects the offset jumps that the
// boundary handling leaves at the chunk ends, and measures the mean jump at
// the chunk start ("DC Offset Error", updated every 20 chunks).
//
// Without attached coefficients it corrects and measures the samples as
// they are. Coefficients of a forward filter that no longer holds them make
// it skip the chunk. It has no lock: the correction type and the measured
// error are atomics shared between the audio and interface threads.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

#include <atomic>
#include <vector>

namespace sonabel {

class WTInverseFilter : public AudioFilter {
public:
    WTInverseFilter() = default;

    const char* getName() override { return "Inverse Wavelet Transform"; }
    const char* getDescription() override {
        return "Applies the inverse wavelet transform to the data created with the forward transform filter.";
    }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& f) override { format.copyFrom(f); }
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 2; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    float getDcOffsetError() const { return dcOffsetError.load(); }

private:
    AudioFormat format;
    // 0 none, 1 restore first and last sample of channel 0, 2 join each
    // channel to the end of the previous chunk.
    std::atomic<int> correctionType{0};
    float startErrorSum = 0.0f;
    float endErrorSum = 0.0f;
    int chunkCounter = 0;
    std::atomic<float> dcOffsetError{0.0f};
    std::vector<float> lastSamples; // per channel, type 2
};

} // namespace sonabel
