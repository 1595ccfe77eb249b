#include "io/PlaybackRing.h"

#include "core/AudioDeviceFormat.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace sonabel {

namespace {
constexpr int blockBits = 20;
constexpr uint64_t blockMask = (uint64_t{1} << blockBits) - 1;
} // namespace

void PlaybackRing::setLayout(const AudioDeviceFormat& format) {
    bits = format.getBitsPerSample();
    channels = format.channels;
    bytesPerFrame = bits * channels / 8;
}

uint32_t PlaybackRing::createRing(int32_t ringBytes) {
    if (ringBytes <= 0 || bytesPerFrame <= 0 || ringBytes % bytesPerFrame != 0) return dsresult::invalidParam;
    try {
        ring.assign(static_cast<size_t>(ringBytes), bits == 8 ? uint8_t{0x80} : uint8_t{0});
    } catch (const std::bad_alloc&) {
        return dsresult::outOfMemory;
    }
    resetCursors();
    emptyBlocks.store(0, std::memory_order_relaxed);
    return dsresult::ok;
}

void PlaybackRing::freeRing() {
    ring.clear();
    ring.shrink_to_fit();
}

void PlaybackRing::resetCursors() {
    consumed.store(0, std::memory_order_release);
    writtenEnd.store(-1, std::memory_order_release);
}

int64_t PlaybackRing::getPlayFrameNanos(int64_t) { return 0; }

int64_t PlaybackRing::getPlayFrameNanosAt(int64_t blockNanos, int64_t frames, int64_t block, int64_t playFrame,
                                          int64_t rate) {
    if (rate <= 0) return 0;
    const int64_t ahead = playFrame - (frames - block);
    // Rounded up: at that nanosecond the cursor has reached the frame. Split
    // so that hours of frames do not overflow.
    const int64_t a = ahead < 0 ? -((-ahead + rate - 1) / rate) : ahead / rate;
    const int64_t r = ahead - a * rate;
    int64_t t = blockNanos + a * 1'000'000'000 + (r * 1'000'000'000 + rate - 1) / rate;
    if (playFrame >= frames) t += callbackMarginNanos;
    return t;
}

int64_t PlaybackRing::getNowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void PlaybackRing::sleepUntilNanos(int64_t nanos) {
    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanos)));
}

void PlaybackRing::loadConsumed(int64_t* frames, int64_t* lastBlock) const {
    const uint64_t c = consumed.load(std::memory_order_acquire);
    *frames = static_cast<int64_t>(c >> blockBits);
    *lastBlock = static_cast<int64_t>(c & blockMask);
}

uint32_t PlaybackRing::lock(int32_t offset, int32_t bytes, uint8_t** first, int32_t* firstBytes, uint8_t** second,
                            int32_t* secondBytes) {
    const int32_t n = getRingBytes();
    if (n == 0) return dsresult::uninitialized;
    if (offset < 0 || offset >= n || bytes < 0 || bytes > n) return dsresult::invalidParam;
    const int32_t a = std::min(bytes, n - offset);
    *first = ring.data() + offset;
    *firstBytes = a;
    *second = bytes > a ? ring.data() : nullptr;
    *secondBytes = bytes - a;
    return dsresult::ok;
}

uint32_t PlaybackRing::unlock(uint8_t*, int32_t, uint8_t*, int32_t) {
    written.fetch_add(1, std::memory_order_release);
    return dsresult::ok;
}

uint32_t PlaybackRing::getCurrentPosition(int32_t* play, int32_t* write) {
    const int64_t n = getRingBytes();
    if (n == 0) return dsresult::uninitialized;
    const uint64_t c = consumed.load(std::memory_order_acquire);
    const int64_t frames = static_cast<int64_t>(c >> blockBits);
    const int64_t block = static_cast<int64_t>(c & blockMask);
    *write = static_cast<int32_t>((frames * bytesPerFrame) % n);
    *play = static_cast<int32_t>(((frames - block) * bytesPerFrame) % n);
    return dsresult::ok;
}

uint32_t PlaybackRing::getPlayedFrames(int64_t* frames) {
    if (ring.empty()) return dsresult::uninitialized;
    int64_t block = 0;
    loadConsumed(frames, &block);
    return dsresult::ok;
}

void PlaybackRing::playBlock(float* out, int32_t frames) {
    const int32_t n = getRingBytes();
    if (n == 0 || frames <= 0) {
        if (out) std::fill(out, out + static_cast<size_t>(frames > 0 ? frames : 0) * static_cast<size_t>(channels), 0.0f);
        return;
    }
    written.load(std::memory_order_acquire);
    const uint64_t c = consumed.load(std::memory_order_relaxed);
    const int64_t done = static_cast<int64_t>(c >> blockBits);
    int32_t offset = static_cast<int32_t>((done * bytesPerFrame) % n);
    const uint8_t silence = bits == 8 ? 0x80 : 0;
    const int32_t samples = frames * channels;
    for (int32_t s = 0; s < samples; ++s) {
        uint8_t* p = ring.data() + offset;
        if (bits == 8) {
            if (out) out[s] = (static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
            p[0] = silence;
            offset += 1;
        } else {
            const auto v = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
            if (out) out[s] = v * (1.0f / 32768.0f);
            p[0] = silence;
            p[1] = silence;
            offset += 2;
        }
        if (offset >= n) offset = 0;
    }
    const int64_t end = writtenEnd.load(std::memory_order_acquire);
    if (end >= 0 && end < done + frames) emptyBlocks.fetch_add(1, std::memory_order_relaxed);
    const uint64_t block = static_cast<uint64_t>(frames) & blockMask;
    consumed.store((static_cast<uint64_t>(done + frames) << blockBits) | block, std::memory_order_release);
}

} // namespace sonabel
