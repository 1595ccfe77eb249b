#pragma once
// A playback device without hardware: it takes the ring's bytes at the
// format's rate, paced by std::chrono::steady_clock, and discards them. It
// keeps a clock on a machine with no sound system. Its one device is called
// "Null device (no sound)".
//
// The cursors advance lazily by whatever is due whenever they are read, so
// no thread of its own runs.

#include "io/PlaybackRing.h"

#include <chrono>

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
    uint32_t play() override;
    uint32_t stop() override;
    uint32_t getStatus(uint32_t* status) override;
    uint32_t restore() override { return dsresult::ok; }

private:
    void catchUp();

    bool opened = false;
    bool playing = false;
    double rate = 44100.0;
    std::chrono::steady_clock::time_point startTime;
    int64_t framesPlayed = 0; // since startTime
};

} // namespace sonabel
