#pragma once
// The capture layer on a real sound system through RtAudio (JACK,
// PulseAudio or ALSA). The stream callback fills the buffer at the head of
// the queue, marks it done and signals the event; it accepts any block size.
//
// A stream that dies while capturing (the server went away, its callback
// has stayed away (two seconds on JACK, five elsewhere), or it spins far
// faster than real time) is lost: isLost says so, and nothing is delivered
// until the queue is closed and opened again. A spinning callback stops its
// stream at once. No call waits for the server without a bound
// (RtAudioStream).

#include "io/AudioApi.h"
#include "io/CallbackWatch.h"
#include "io/CaptureQueue.h"
#include "io/RtAudioStream.h"

#include <atomic>
#include <string>
#include <vector>

namespace sonabel {

class RtAudioCaptureQueue : public CaptureQueue {
public:
    explicit RtAudioCaptureQueue(AudioApi api);
    ~RtAudioCaptureQueue() override;

    const char* getApiName() override { return getAudioApiName(api); }
    uint32_t enumerate(DeviceCallback callback, void* context) override;
    uint32_t open(int deviceId, const AudioDeviceFormat& format, AudioEvent* event) override;
    uint32_t start() override;
    uint32_t stop() override;
    uint32_t reset() override;
    uint32_t close() override;
    bool isLost() override;

    // The block size the device runs with, in frames (0 while closed).
    int32_t getPeriodFrames() const { return periodFrames; }
    // Blocks RtAudio marked as an input overflow (on JACK: the server's
    // xruns), since the device was opened.
    int64_t getServerXruns() const override { return serverOverflows.load(std::memory_order_relaxed); }

private:
    static int callback(void* output, void* input, unsigned int frames, unsigned int status, void* self);
    void halt();

    AudioApi api;
    RtAudioStream stream;
    std::vector<std::string> names;
    int32_t periodFrames = 0;
    // Between a successful open and close (the stream itself may be gone:
    // abandoned with a server that did not answer).
    bool opened = false;
    bool capturing = false; // between start and stop, reset or close
    std::atomic<bool> lost{false};
    // The server closed the stream itself (RtAudio finishes closing it on a
    // thread of its own).
    bool closedByServer = false;
    uint32_t rate = 44100;
    CallbackWatch watch;
    std::atomic<int64_t> serverOverflows{0};
};

} // namespace sonabel
