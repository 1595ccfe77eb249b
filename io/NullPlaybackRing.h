#pragma once
// A playback device without hardware: it takes the ring's bytes at the
// format's rate, paced by the steady clock (getNowNanos), and discards them.
// It keeps a clock on a machine with no sound system. Its one device is
// called "Null device (no sound)".
//
// The cursors advance lazily by whatever is due whenever they are read, so
// no thread of its own runs. It plays what it takes at once: the play and
// safe-write cursors are the same frame, and the frame the play cursor
// reaches at a time is known exactly, so the writer's ticker can sleep until
// a chunk is due.

#include "io/PlaybackRing.h"

namespace sonabel {

class NullPlaybackRing : public PlaybackRing {
public:
    static constexpr const char* deviceName = "Null device (no sound)";
    static constexpr int32_t maxBlockFrames = 65536;

    const char* getApiName() override { return "Null"; }
    uint32_t enumerate(DeviceCallback callback, void* context) override;
    uint32_t openDevice(int deviceId, const AudioDeviceFormat& format) override;
    void release() override;
    uint32_t getCurrentPosition(int32_t* play, int32_t* write) override;
    uint32_t getPlayedFrames(int64_t* frames) override;
    int64_t getPlayFrameNanos(int64_t playFrame) override;
    uint32_t play() override;
    uint32_t stop() override;
    uint32_t getStatus(uint32_t* status) override;
    uint32_t restore() override { return dsresult::ok; }

private:
    void catchUp();

    bool opened = false;
    bool playing = false;
    int64_t rate = 44100;
    int64_t startNanos = 0; // getNowNanos at play
    int64_t framesPlayed = 0; // since startNanos
    int64_t framesBefore = 0; // played before the last play
};

} // namespace sonabel
