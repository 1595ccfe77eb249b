#pragma once
// The mixer's input when a stream plays live: each read goes on to the
// stream's reader on the ticker thread, and what it did is published after
// it for the thread that waits for the end: the frames that came, whether
// the stream has ended, and the first read error. The stream's own reader
// keeps these in plain fields, for the thread that reads.
//
// Call sequence: as the reader it wraps (the mixer opens, starts, reads,
// stops and closes it); getFrames, hasEnded on any thread; getReadErrorFrame
// and getReadError once the ticker has stopped.

#include "core/AudioReader.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace sonabel {

class InputFile;

class StreamProgress : public AudioReader {
public:
    // The input is not owned and holds an open stream.
    explicit StreamProgress(InputFile& input);

    AudioFormat* getAudioFormat() override;
    int32_t available(int32_t frames) override;
    void open() override;
    void close() override;
    bool isOpen() override;
    void start() override;
    void stop() override;
    bool isStarted() override;
    int32_t read(SampleBuffer& buffer, int32_t position, float srcFactor) override;

    int64_t getFrames() const { return frames.load(std::memory_order_acquire); }
    // Ended, or broken off by a read error.
    bool hasEnded() const { return ended.load(std::memory_order_acquire); }
    int64_t getReadErrorFrame() const { return errorFrame; }
    const std::string& getReadError() const { return error; }

private:
    InputFile& input;
    std::atomic<int64_t> frames{0};
    std::atomic<bool> ended{false};
    int64_t errorFrame = -1;
    std::string error;
};

} // namespace sonabel
