#pragma once
// Passes at most a given number of frames on to another writer, so that a
// file rendered in whole chunks ends exactly where its input ended.

#include "core/AudioWriter.h"

#include <cstdint>

namespace sonabel {

class FrameLimitWriter : public AudioWriter {
public:
    // The target is not owned.
    FrameLimitWriter(AudioWriter* target, int64_t frames);

    AudioFormat* getAudioFormat() override { return target->getAudioFormat(); }
    int32_t available(int32_t frames) override { return target->available(frames); }
    void open() override { target->open(); }
    void close() override { target->close(); }
    bool isOpen() override { return target->isOpen(); }
    void start() override { target->start(); }
    void stop() override { target->stop(); }
    bool isStarted() override { return target->isStarted(); }
    void setAudioFormat(const AudioFormat& format) override { target->setAudioFormat(format); }
    void write(SampleBuffer& buffer) override;

    int64_t getRemaining() const { return remaining; }

private:
    AudioWriter* target;
    int64_t remaining;
};

} // namespace sonabel
