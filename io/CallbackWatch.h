#pragma once
// Watches a device's stream callback from inside it: when it last ran, and
// whether it moves far more frames than real time allows. The second is
// what a stream does whose server has died under it while the library's
// loop goes on: every read and write fails at once, and the callback spins
// with stale data instead of stopping.
//
// The count is a bucket: every block adds its frames, every second that
// passes takes away the rate's frames (and 1 % more, for clocks that run a
// little fast). A stall saves up to two seconds, which the device's
// catching up uses again. More than half a second's frames above that is
// a runaway.
//
// note runs on the callback (lock-free, no allocation); reset on the
// interface thread while no callback runs; the getters anywhere.

#include <atomic>
#include <cstdint>

namespace sonabel {

class CallbackWatch {
public:
    // Forgets everything and counts from now. framesPerSecond is the rate
    // the device keeps.
    void reset(uint32_t framesPerSecond);
    // The callback moved frames just now. False once it has run away.
    bool note(int32_t frames);
    // The same with the time given (steady-clock nanoseconds).
    bool noteAt(int64_t nowNanos, int32_t frames);
    // When the callback last ran (or reset was called), steady-clock
    // nanoseconds.
    int64_t getLastNanos() const { return last.load(std::memory_order_relaxed); }
    bool isRunaway() const { return runaway.load(std::memory_order_relaxed); }
    // Frames above real time so far (negative: saved by stalls).
    int64_t getExcessFrames() const { return excess.load(std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> rate{44100};
    std::atomic<int64_t> last{0};
    std::atomic<int64_t> excess{0};
    std::atomic<bool> runaway{false};
};

} // namespace sonabel
