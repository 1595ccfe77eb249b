#pragma once
// Small streams and a filter for driving the engine in tests.

#include "core/AudioFormat.h"
#include "core/AudioReader.h"
#include "core/AudioWriter.h"
#include "filters/AudioFilter.h"

#include <atomic>
#include <vector>

namespace sonabel::test {

// A source of one constant value; ends after `length` frames (-1: never).
class ConstantReader : public AudioReader {
public:
    ConstantReader(float value, int channels = 2, float rate = 44100.0f, int length = -1);
    AudioFormat* getAudioFormat() override { return &format; }
    int32_t available(int32_t frames) override;
    void open() override { opened = true; ++openCount; }
    void close() override { opened = false; ++closeCount; }
    bool isOpen() override { return opened; }
    void start() override { started = true; ++startCount; }
    void stop() override { started = false; }
    bool isStarted() override { return started; }
    int32_t read(SampleBuffer& buffer, int32_t position, float srcFactor) override;

    AudioFormat format;
    float value;
    int length;
    int delivered = 0;
    std::atomic<bool> opened{false};
    std::atomic<bool> started{false};
    int openCount = 0, closeCount = 0, startCount = 0;
    // Set by the destructor, so tests can see that the mixer destroyed it.
    bool* destroyedFlag = nullptr;
    ~ConstantReader() override;
};

// Keeps the first channel of everything written, plus the chunk sizes.
class RecordingWriter : public AudioWriter {
public:
    AudioFormat* getAudioFormat() override { return &format; }
    int32_t available(int32_t wanted) override { return wanted; }
    void open() override { opened = true; ++openCount; }
    void close() override { opened = false; started = false; ++closeCount; }
    bool isOpen() override { return opened; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started; }
    void setAudioFormat(const AudioFormat& f) override { format.copyFrom(f); }
    void write(SampleBuffer& buffer) override;

    AudioFormat format{1, 8000.0f};
    std::atomic<bool> opened{false};
    std::atomic<bool> started{false};
    int openCount = 0, closeCount = 0;
    bool keepSamples = true;
    std::vector<float> samples;
    std::atomic<int> chunks{0};
    std::atomic<int> frames{0};
};

// Multiplies every sample by gain/100. One slider parameter "Gain".
class GainFilter : public AudioFilter {
public:
    explicit GainFilter(int gainPercent = 100) : gain(gainPercent) {}
    const char* getName() override { return "Gain"; }
    const char* getDescription() override { return "Multiplies the samples."; }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& f) override { format.copyFrom(f); ++formatChanges; }
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 1; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override { return index == 0 ? gain.load() : 0; }
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    AudioFormat format;
    std::atomic<int> gain;
    std::atomic<int> processCalls{0};
    int formatChanges = 0;
};

} // namespace sonabel::test
