#pragma once
// Subtracts the chunk the last "Difference listener begin" filter kept
// ("Difference"), or passes the signal ("Bypass"). Without a copy waiting,
// it passes the signal either way; it uses each copy once.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

#include <atomic>

namespace sonabel {

class SampleBuffer;

class DifferenceEndFilter : public AudioFilter {
public:
    DifferenceEndFilter() = default;

    const char* getName() override { return "Difference listener end"; }
    const char* getDescription() override {
        return "Put this after the to-be analysed filters. It lets you listen to the difference signal.";
    }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& newFormat) override { format.copyFrom(newFormat); }
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 1; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override { return index == 0 ? mode.load() : 0; }
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

private:
    // 0 Bypass, 1 Difference; written by the interface, read by the audio thread.
    std::atomic<int> mode{1};
    AudioFormat format;
};

} // namespace sonabel
