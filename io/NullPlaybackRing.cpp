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
    framesBefore = 0;
    return dsresult::ok;
}

void NullPlaybackRing::release() {
    opened = false;
    playing = false;
    freeRing();
}

void NullPlaybackRing::catchUp() {
    if (!playing) return;
    const int64_t elapsed = std::max<int64_t>(getNowNanos() - startNanos, 0);
    // Frames due by now, rounded down; 64-bit for days of play.
    const int64_t due = elapsed / 1'000'000'000 * rate + elapsed % 1'000'000'000 * rate / 1'000'000'000;
    // Whatever is due, so the play cursor moves smoothly with the clock.
    while (due > framesPlayed) {
        const int64_t block = std::min<int64_t>(due - framesPlayed, maxBlockFrames);
        playBlock(nullptr, static_cast<int32_t>(block));
        framesPlayed += block;
    }
}

uint32_t NullPlaybackRing::getCurrentPosition(int32_t* play, int32_t* write) {
    catchUp();
    const uint32_t result = PlaybackRing::getCurrentPosition(play, write);
    // Nothing is held in a device block: what was taken has played.
    if (result == dsresult::ok) *play = *write;
    return result;
}

uint32_t NullPlaybackRing::getPlayedFrames(int64_t* frames) {
    catchUp();
    return PlaybackRing::getPlayedFrames(frames);
}

int64_t NullPlaybackRing::getPlayFrameNanos(int64_t playFrame) {
    if (!playing) return 0;
    // The first nanosecond at which catchUp finds playFrame due.
    const int64_t f = std::max<int64_t>(playFrame - framesBefore, 0);
    return startNanos + f / rate * 1'000'000'000 + (f % rate * 1'000'000'000 + rate - 1) / rate;
}

uint32_t NullPlaybackRing::play() {
    if (!opened || getRingBytes() == 0) return dsresult::uninitialized;
    if (!playing) {
        playing = true;
        startNanos = getNowNanos();
        int64_t before = 0;
        PlaybackRing::getPlayedFrames(&before);
        framesBefore = before;
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
