#pragma once
// Helpers for the tests that run the soundcard classes on a real sound
// server: a deterministic noise source that remembers when each chunk was
// made, a listener that counts underruns and overflows, the engine without
// a window, and the search for the played noise in a capture.

#include "TestStreams.h"
#include "core/DeviceListener.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sonabel::test {

using LiveClock = std::chrono::steady_clock;

inline double secondsBetween(LiveClock::time_point a, LiveClock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Deterministic noise in -0.5 .. 0.5: sample n of the stream is noise(n),
// the same in every channel.
inline float noise(int64_t n) {
    uint64_t z = static_cast<uint64_t>(n) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<float>(static_cast<double>(z >> 11) / 9007199254740992.0 - 0.5);
}

// The source: noise, remembering when each chunk was asked for.
class NoiseReader : public ConstantReader {
public:
    NoiseReader() : ConstantReader(0.0f) {}
    int32_t read(SampleBuffer& buffer, int32_t, float srcFactor) override {
        {
            std::lock_guard guard(mutex);
            if (times.size() < 100000) times.push_back({frames, LiveClock::now()});
        }
        for (int c = 0; c < buffer.channelCount; ++c) {
            float* p = buffer.getBuffer(c);
            for (int f = 0; f < buffer.currCount; ++f) {
                const float v = noise(frames + f);
                p[f] = srcFactor == 0.0f ? v : p[f] + v * srcFactor;
            }
        }
        frames += buffer.currCount;
        return buffer.currCount;
    }
    struct Stamp {
        int64_t frame;
        LiveClock::time_point when;
    };
    std::mutex mutex;
    std::vector<Stamp> times;
    int64_t frames = 0;
};

struct NoticeCounter : DeviceListener {
    std::atomic<int> underruns{0}, overflows{0};
    void notify(ListenerList*, int code, int) override {
        if (code == 100) ++underruns;
        if (code == 101) ++overflows;
    }
};

// The engine of the program, without a window: mixer, synchronizer and the
// soundcards.
struct LiveEngine {
    AudioMixer mixer;
    AudioSynchronizer sync;
    LiveEngine() {
        mixer.open();
        mixer.start();
        sync.setReader(&mixer);
        sync.start();
    }
    ~LiveEngine() {
        sync.stop();
        sync.setTickProvider(nullptr);
    }
};

// Polls condition every 5 ms for up to ms milliseconds.
inline bool waitFor(const std::function<bool()>& condition, int ms) {
    const auto end = LiveClock::now() + std::chrono::milliseconds(ms);
    while (LiveClock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

// Where noise frame `probe` turns up in a capture: the lag (capture index
// minus noise index) in -probe .. capture length, and the correlation over
// `length` frames from there (0 when it was not found).
struct NoiseMatch {
    int64_t lag = -1;
    double correlation = 0;
    bool found = false;
};

inline NoiseMatch findNoise(const std::vector<float>& captured, int64_t probe, int64_t length) {
    const int64_t probeLength = 4096;
    const auto size = static_cast<int64_t>(captured.size());
    NoiseMatch match;
    double best = 0;
    for (int64_t lag = -probe; lag + probe + probeLength <= size; ++lag) {
        double s = 0;
        for (int64_t i = 0; i < probeLength; i += 4) s += captured[static_cast<size_t>(probe + lag + i)] * noise(probe + i);
        if (s > best) {
            best = s;
            match.lag = lag;
            match.found = true;
        }
    }
    if (!match.found) return match;
    double sxy = 0, sxx = 0, syy = 0;
    for (int64_t n = probe; n < probe + length && n + match.lag < size; ++n) {
        const double x = noise(n), y = captured[static_cast<size_t>(n + match.lag)];
        sxy += x * y;
        sxx += x * x;
        syy += y * y;
    }
    match.correlation = sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0;
    return match;
}

} // namespace sonabel::test
