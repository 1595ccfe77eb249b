#pragma once
// Passes at most a given number of frames on to another writer, so that a
// file rendered in whole chunks ends exactly where its input ended. For a
// stream the limit grows as its frames come: it is asked at each write.

#include "core/AudioWriter.h"

#include <cstdint>
#include <functional>

namespace sonabel {

class FrameLimitWriter : public AudioWriter {
public:
    // The target is not owned.
    FrameLimitWriter(AudioWriter* target, int64_t frames);
    // The limit is the frames `limit` gives at the time of each write.
    FrameLimitWriter(AudioWriter* target, std::function<int64_t()> limit);

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

    // Frames the limit allows beyond what was passed on, as of the last write.
    int64_t getRemaining() const { return limit() - passed; }

private:
    AudioWriter* target;
    std::function<int64_t()> limit;
    int64_t passed = 0;
};

} // namespace sonabel
