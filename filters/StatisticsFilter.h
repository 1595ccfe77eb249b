#pragma once
// Measures the signal without changing it: a running mean (the latest
// channel's mean weighs one half, the one before a quarter, ...), the summed
// squares of all channels per chunk, and the smallest and largest sample.
// The figures are published (as the texts of its display parameters) every
// updateInterval + 1 chunks and at the end of the input (inputEnded), over
// the chunks since the last publication; switching the filter on or off
// starts afresh.
//
// process runs on the audio thread and raises the text notifications there,
// after releasing the lock; the interface reads the texts under the lock.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

namespace sonabel {

class Lock;
class SampleBuffer;

class StatisticsFilter : public AudioFilter {
public:
    StatisticsFilter();
    ~StatisticsFilter() override;

    const char* getName() override { return "Statistics"; }
    const char* getDescription() override { return "This filter shows some statistics of the current audio signal."; }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& newFormat) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 5; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;
    void setActive(bool on) override;
    void inputEnded() override;

    // Chunks between publications, from the "Update frequency" step.
    static int intervalOf(int value);

private:
    void recompute();
    // Shows the figures gathered since the last publication; under the lock.
    void publish();

    float mean = 0.0f;
    float energySum = 0.0f;
    float minimum = 0.0f;
    float maximum = 0.0f;
    float energy = 0.0f;
    int update = 5;
    int updateInterval = 0;
    int chunkCount = 0;
    // The figures last published, which the texts show; mean, minimum and
    // maximum above keep collecting for the next publication.
    float shownMean = 0.0f;
    float shownMinimum = 0.0f;
    float shownMaximum = 0.0f;
    AudioFormat format;
    Lock* lock;
};

} // namespace sonabel
