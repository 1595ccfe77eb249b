#pragma once
// Remembers the chunk as it stands here, so that a "Difference listener end"
// filter further down can subtract it and let the user hear only what the
// filters in between changed. No parameters.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

namespace sonabel {

class Lock;
class SampleBuffer;

class DifferenceBeginFilter : public AudioFilter {
public:
    DifferenceBeginFilter();
    ~DifferenceBeginFilter() override;

    const char* getName() override { return "Difference listener begin"; }
    const char* getDescription() override {
        return "Put this before filters to be analysed. After them, put a Difference listener end filter to hear the "
               "difference.";
    }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& newFormat) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 0; }
    const ParameterInfo* getParameterInfo(int32_t) override { return nullptr; }
    void setParameter(int32_t, int32_t) override {}
    int32_t getParameter(int32_t) override { return 0; }
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

private:
    AudioFormat format;
    Lock* lock; // guards the format only
};

} // namespace sonabel
