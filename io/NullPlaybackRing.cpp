#include "io/NullPlaybackRing.h"

#include "core/AudioDeviceFormat.h"

#include <algorithm>

namespace sonabel {

uint32_t NullPlaybackRing::enumerate(DeviceCallback callback, void* context) {
    callback(context, 0, deviceName);
    return dsresult::ok;
}

uint32_t NullPlaybackRing::openDevice(int deviceId, const AudioDeviceFormat& format) {
    if (deviceId != 0) return dsresult::noDriver;
    if (format.sampleRate < 1.0f || format.channels < 1) return dsresult::badFormat;
    const int b = format.getBitsPerSample();
    if (b != 8 && b != 16) return dsresult::badFormat;
    setLayout(format);
    rate = static_cast<int>(format.sampleRate);
    opened = true;
    playing = false;
    return dsresult::ok;
}

void NullPlaybackRing::release() {
    opened = false;
    playing = false;
    freeRing();
}

void NullPlaybackRing::catchUp() {
    if (!playing) return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count();
    const auto due = static_cast<int64_t>(elapsed * rate);
    // Whatever is due, so the play cursor moves smoothly with the clock.
    while (due > framesPlayed) {
        const int64_t block = std::min<int64_t>(due - framesPlayed, maxBlockFrames);
        playBlock(nullptr, static_cast<int32_t>(block));
        framesPlayed += block;
    }
}

uint32_t NullPlaybackRing::getCurrentPosition(int32_t* play, int32_t* write) {
    catchUp();
    return PlaybackRing::getCurrentPosition(play, write);
}

uint32_t NullPlaybackRing::getPlayedFrames(int64_t* frames) {
    catchUp();
    return PlaybackRing::getPlayedFrames(frames);
}

uint32_t NullPlaybackRing::play() {
    if (!opened || getRingBytes() == 0) return dsresult::uninitialized;
    if (!playing) {
        playing = true;
        startTime = std::chrono::steady_clock::now();
        framesPlayed = 0;
    }
    return dsresult::ok;
}

uint32_t NullPlaybackRing::stop() {
    if (!opened) return dsresult::uninitialized;
    catchUp();
    playing = false;
    return dsresult::ok;
}

uint32_t NullPlaybackRing::getStatus(uint32_t* status) {
    if (!opened) return dsresult::uninitialized;
    *status = playing ? (ringstatus::playing | ringstatus::looping) : 0;
    return dsresult::ok;
}

} // namespace sonabel
