#include "io/CallbackWatch.h"

#include "io/RtAudioErrors.h"

#include <algorithm>

namespace sonabel {

void CallbackWatch::reset(uint32_t framesPerSecond) {
    rate.store(framesPerSecond, std::memory_order_relaxed);
    last.store(getSteadyNanos(), std::memory_order_relaxed);
    excess.store(0, std::memory_order_relaxed);
    runaway.store(false, std::memory_order_relaxed);
}

bool CallbackWatch::note(int32_t frames) { return noteAt(getSteadyNanos(), frames); }

bool CallbackWatch::noteAt(int64_t nowNanos, int32_t frames) {
    const int64_t r = rate.load(std::memory_order_relaxed);
    // Longer gaps save no more than the cap anyway; this keeps the product
    // below in range.
    const int64_t elapsed = std::clamp<int64_t>(nowNanos - last.load(std::memory_order_relaxed), 0, 10'000'000'000);
    last.store(nowNanos, std::memory_order_relaxed);
    const int64_t drained = r * elapsed / 1'000'000 * 101 / 100'000;
    const int64_t e = std::max(excess.load(std::memory_order_relaxed) + frames - drained, -2 * r);
    excess.store(e, std::memory_order_relaxed);
    if (e > r / 2) runaway.store(true, std::memory_order_relaxed);
    return !runaway.load(std::memory_order_relaxed);
}

} // namespace sonabel
