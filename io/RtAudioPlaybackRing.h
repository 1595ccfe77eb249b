#pragma once
// The playback layer on a real sound system through RtAudio (JACK,
// PulseAudio or ALSA). The stream callback copies the block at the play
// cursor to the device and clears it behind itself, so an underrun plays
// silence, not old audio. It accepts any block size (JACK imposes its own
// period).
//
// A stream that dies while playing (the server went away, its callback has
// stayed away (two seconds on JACK, which calls every period; five seconds
// elsewhere), or it spins far faster than real time) makes the ring lost:
// lock and getCurrentPosition report dsresult::bufferLost, and restore
// reopens the stream on the same device. No call waits for the server
// without a bound (RtAudioStream): a frozen server makes the ring lost
// within a few periods of the call, and restore then fails at once.
//
// The callback notes when it came (after publishing what it took), so the
// writer's ticker can sleep until the play cursor reaches a frame: it
// moves through the block taken last with the clock, and the next block
// comes one period after the last.

#include "io/AudioApi.h"
#include "io/CallbackWatch.h"
#include "io/PlaybackRing.h"
#include "io/RtAudioStream.h"

#include <atomic>
#include <string>
#include <vector>

namespace sonabel {

class RtAudioPlaybackRing : public PlaybackRing {
public:
    explicit RtAudioPlaybackRing(AudioApi api);
    ~RtAudioPlaybackRing() override;

    const char* getApiName() override { return getAudioApiName(api); }
    uint32_t enumerate(DeviceCallback callback, void* context) override;
    uint32_t openDevice(int deviceId, const AudioDeviceFormat& format) override;
    void release() override;
    uint32_t lock(int32_t offset, int32_t bytes, uint8_t** first, int32_t* firstBytes, uint8_t** second,
                  int32_t* secondBytes) override;
    uint32_t getCurrentPosition(int32_t* play, int32_t* write) override;
    int64_t getPlayFrameNanos(int64_t playFrame) override;
    uint32_t play() override;
    uint32_t stop() override;
    uint32_t getStatus(uint32_t* status) override;
    uint32_t restore() override;

    // The block size the device runs with, in frames (0 while closed).
    int32_t getPeriodFrames() const override { return periodFrames; }
    bool acceptsSingleBuffer() const override { return false; }
    // Blocks in which the device itself reported an underflow (on JACK: the
    // server's xruns, which RtAudio hands on as an underflow).
    int64_t getDeviceUnderflows() const { return deviceUnderflows.load(); }
    int64_t getServerXruns() const override { return deviceUnderflows.load(std::memory_order_relaxed); }
    // The last failure in the user's terms.
    const char* getLastMessage() override { return lastMessage.c_str(); }

private:
    static int callback(void* output, void* input, unsigned int frames, unsigned int status, void* self);
    uint32_t openStream();
    void closeStream();
    bool checkLost();

    AudioApi api;
    RtAudioStream stream;
    std::vector<std::string> names; // the enumeration; device ids index it
    std::string openName;
    unsigned int rate = 44100;
    bool playing = false;
    int32_t periodFrames = 0;
    std::atomic<bool> lost{false};
    // The server closed the stream itself (RtAudio finishes closing it on a
    // thread of its own).
    bool closedByServer = false;
    CallbackWatch watch;
    // When the callback took the block that consumed holds (steady-clock
    // nanoseconds), stored after it: read first, it is never newer than
    // the block read after it.
    std::atomic<int64_t> blockNanos{0};
    std::atomic<int64_t> deviceUnderflows{0};
    std::string lastMessage;
};

} // namespace sonabel
