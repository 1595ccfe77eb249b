#pragma once
// An auto-reset event: set() wakes one waiter (or the next one to wait), and
// a successful wait clears it again. set() never locks or allocates, so a
// device callback may call it; wait() is for the ticker thread.

#include <atomic>
#include <cstdint>

namespace sonabel {

class AudioEvent {
public:
    AudioEvent() = default;
    AudioEvent(const AudioEvent&) = delete;
    AudioEvent& operator=(const AudioEvent&) = delete;

    // Signals the event. Safe from any thread, including a device callback.
    void set();
    // Clears the event without waking anyone.
    void reset();
    // Waits up to ms milliseconds; true when the event was signalled (and
    // is now clear again), false on time-out.
    bool wait(int32_t ms);

private:
    // 1 while signalled. A futex word, hence 32 bits.
    std::atomic<uint32_t> signalled{0};
};

} // namespace sonabel
