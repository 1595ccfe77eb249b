#include "io/RtAudioPlaybackRing.h"

#include "core/AudioDeviceFormat.h"
#include "io/RtAudioErrors.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace sonabel {

namespace {

// A playing stream whose callback stays away this long has died. Long
// where the server may pause: a PulseAudio null sink takes two seconds
// before it asks for more than its first block. JACK calls every period.
int64_t getSilentLimitNanos(AudioApi api) { return api == AudioApi::jack ? 2'000'000'000 : 5'000'000'000; }

} // namespace

RtAudioPlaybackRing::RtAudioPlaybackRing(AudioApi soundSystem) : api(soundSystem), stream(soundSystem, &callback, this) {}

RtAudioPlaybackRing::~RtAudioPlaybackRing() { release(); }

uint32_t RtAudioPlaybackRing::enumerate(DeviceCallback deviceCallback, void* context) {
    std::string message;
    if (!RtAudioStream::listDevices(api, true, &names, &message)) {
        lastMessage = message;
        return getPlaybackResult(RtAudioError(message, RtAudioError::DRIVER_ERROR));
    }
    if (names.empty()) lastMessage = message;
    for (size_t i = 0; i < names.size(); ++i)
        if (!deviceCallback(context, static_cast<int>(i), names[i].c_str())) break;
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::openDevice(int deviceId, const AudioDeviceFormat& format) {
    release();
    if (deviceId < 0 || deviceId >= static_cast<int>(names.size())) return dsresult::noDriver;
    const int b = format.getBitsPerSample();
    if ((b != 8 && b != 16) || format.channels < 1 || format.sampleRate < 1.0f) return dsresult::badFormat;
    setLayout(format);
    rate = static_cast<unsigned int>(format.sampleRate);
    openName = names[static_cast<size_t>(deviceId)];
    return openStream();
}

uint32_t RtAudioPlaybackRing::openStream() {
    char streamName[64];
    makeStreamName(streamName, sizeof streamName, "out");
    unsigned int frames = 512;
    if (!stream.open(true, openName, static_cast<unsigned int>(channels), rate, &frames, streamName)) {
        lastMessage = stream.getMessage();
        return getPlaybackResult(stream.getError());
    }
    periodFrames = static_cast<int32_t>(frames);
    lost.store(false);
    return dsresult::ok;
}

void RtAudioPlaybackRing::closeStream() {
    stream.close(closedByServer);
    if (stream.isHung()) lastMessage = stream.getMessage();
    periodFrames = 0;
}

void RtAudioPlaybackRing::release() {
    closeStream();
    playing = false;
    lost.store(false);
    closedByServer = false;
    freeRing();
}

int RtAudioPlaybackRing::callback(void* output, void*, unsigned int frames, unsigned int status, void* self) {
    auto* ring = static_cast<RtAudioPlaybackRing*>(self);
    if (status & RTAUDIO_OUTPUT_UNDERFLOW) ring->deviceUnderflows.fetch_add(1, std::memory_order_relaxed);
    const int64_t now = getSteadyNanos();
    // The watch's time first: a reader that sees the new block sees its
    // time too. The block's own time last, so that a reader that sees it
    // sees the block.
    ring->watch.noteAt(now, static_cast<int32_t>(frames));
    ring->playBlock(static_cast<float*>(output), static_cast<int32_t>(frames));
    ring->blockNanos.store(now, std::memory_order_release);
    return 0;
}

bool RtAudioPlaybackRing::checkLost() {
    if (lost.load()) return true;
    if (!playing || !stream.isOpen()) return false;
    const bool running = stream.isRunning();
    if (watch.isRunaway()) {
        lastMessage = "the device ran far faster than real time (its server is gone)";
        lost.store(true);
    } else if (!running) {
        lastMessage = "the sound server closed the stream";
        closedByServer = true;
        lost.store(true);
    } else if (getSteadyNanos() - watch.getLastNanos() > getSilentLimitNanos(api)) {
        lastMessage = "the device stopped calling back";
        lost.store(true);
    }
    return lost.load();
}

uint32_t RtAudioPlaybackRing::lock(int32_t offset, int32_t bytes, uint8_t** first, int32_t* firstBytes, uint8_t** second,
                                   int32_t* secondBytes) {
    if (checkLost()) return dsresult::bufferLost;
    return PlaybackRing::lock(offset, bytes, first, firstBytes, second, secondBytes);
}

uint32_t RtAudioPlaybackRing::getCurrentPosition(int32_t* play, int32_t* write) {
    if (checkLost()) return dsresult::bufferLost;
    const int64_t n = getRingBytes();
    if (n == 0) return dsresult::uninitialized;
    const int64_t taken = blockNanos.load(std::memory_order_acquire);
    int64_t frames = 0, block = 0;
    loadConsumed(&frames, &block);
    // The block the device took last plays out during its period: the play
    // cursor moves through it with the clock instead of jumping a whole
    // period, as a sound card's does. It stays one frame short of the
    // safe-write cursor.
    int64_t into = 0;
    if (playing && block > 1) {
        const int64_t elapsed = getSteadyNanos() - taken;
        into = std::clamp<int64_t>(elapsed * static_cast<int64_t>(rate) / 1'000'000'000, 0, block - 1);
    }
    *play = static_cast<int32_t>(((frames - block + into) * bytesPerFrame) % n);
    *write = static_cast<int32_t>((frames * bytesPerFrame) % n);
    return dsresult::ok;
}

int64_t RtAudioPlaybackRing::getPlayFrameNanos(int64_t playFrame) {
    if (!playing || lost.load()) return 0;
    const int64_t taken = blockNanos.load(std::memory_order_acquire);
    int64_t frames = 0, block = 0;
    loadConsumed(&frames, &block);
    if (frames == 0 || taken == 0) return 0;
    return getPlayFrameNanosAt(taken, frames, block, playFrame, rate);
}

uint32_t RtAudioPlaybackRing::play() {
    if (!stream.isOpen() || getRingBytes() == 0) return dsresult::uninitialized;
    if (checkLost()) return dsresult::bufferLost;
    if (playing) return dsresult::ok;
    watch.reset(rate);
    blockNanos.store(0, std::memory_order_relaxed);
    if (!stream.start()) {
        lastMessage = stream.getMessage();
        if (stream.isHung()) lost.store(true);
        return getPlaybackResult(stream.getError());
    }
    playing = true;
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::stop() {
    if (!stream.isOpen()) return dsresult::uninitialized;
    if (!playing) return dsresult::ok;
    playing = false;
    if (lost.load()) return dsresult::ok;
    if (stream.isRunning() && !stream.abort()) {
        lastMessage = stream.getMessage();
        // A server that did not answer in time has lost the stream.
        if (stream.isHung()) lost.store(true);
        return getPlaybackResult(stream.getError());
    }
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::getStatus(uint32_t* status) {
    if (!stream.isOpen() && !lost.load()) return dsresult::uninitialized;
    uint32_t s = playing ? (ringstatus::playing | ringstatus::looping) : 0;
    if (checkLost()) s |= ringstatus::bufferLost;
    *status = s;
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::restore() {
    if (!lost.load()) return dsresult::ok;
    const int32_t bytes = getRingBytes();
    closeStream();
    playing = false;
    closedByServer = false;
    // A server that did not answer the close would not answer the opening
    // either: the device is lost until it is opened again.
    if (stream.isHung()) return dsresult::noDriver;
    const uint32_t result = openStream();
    if (result != dsresult::ok) {
        lost.store(true);
        return result;
    }
    // A fresh, silent ring; the writer places its next chunk anew.
    return createRing(bytes);
}

} // namespace sonabel
