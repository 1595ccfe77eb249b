#pragma once
// Echo: every output sample is the input plus volume% of the output one delay
// earlier, y[t] = x[t] + g * y[t - delayFrames], per channel. The delayed
// output lives in a ring (one channel per stream channel, never shrinking)
// whose oldest sample, at currPos, is read and then overwritten.
//
// process runs on the audio thread and holds the lock for the chunk;
// setParameter and setFormat hold it while storing and recomputing.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

namespace sonabel {

class Lock;
class SampleBuffer;

class DelayFilter : public AudioFilter {
public:
    DelayFilter();
    ~DelayFilter() override;

    const char* getName() override { return "Delay"; }
    const char* getDescription() override { return "Filter for delay (echo) effects."; }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& newFormat) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 2; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    // The delay in frames and the ring's read position (for inspection).
    int getDelayFrames();
    int getCurrentPosition();
    // Samples per channel and channels of the ring.
    int getRingSamples();
    int getRingChannels();

private:
    // Derives delayMs and delayFrames, grows the ring to at least `channels`
    // channels, and keeps the oldest history when the delay shrinks.
    void recompute(int channels);

    int delay = 40;      // steps of 2 ms
    int delayFrames = 0;
    int volume = 80;     // percent
    int currPos = 0;
    float delayMs = 0.0f;
    AudioFormat format;
    SampleBuffer* delayBuffer = nullptr;
    Lock* lock;
};

} // namespace sonabel
