#pragma once
// Position and life cycle shared by every source and destination:
// closed -> open -> started -> open -> closed.

#include <atomic>
#include <cstdint>

namespace sonabel {

class AudioFormat;

class AudioStream {
public:
    AudioStream() = default;
    virtual ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    virtual int32_t getPosition() { return position.load(std::memory_order_relaxed); }
    // The stream's current format, owned by the stream.
    virtual AudioFormat* getAudioFormat() = 0;
    // How many of the requested frames can move now without waiting (at most
    // frames); -1 when a reader has ended and will never deliver again.
    virtual int32_t available(int32_t frames) = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isStarted() = 0;

protected:
    // Frames that have passed through the stream. Written by the audio
    // thread and read by the interface, hence atomic.
    std::atomic<int32_t> position{0};
};

} // namespace sonabel
