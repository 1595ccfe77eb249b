#include "io/AudioEvent.h"

#include <chrono>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sonabel {

namespace {

// The futex calls work on the atomic's own storage; std::atomic<uint32_t> is
// lock-free and has the size of the plain word.
uint32_t* word(std::atomic<uint32_t>& a) { return reinterpret_cast<uint32_t*>(&a); }

} // namespace

void AudioEvent::set() {
    signalled.store(1, std::memory_order_release);
    ::syscall(SYS_futex, word(signalled), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

void AudioEvent::reset() { signalled.store(0, std::memory_order_release); }

bool AudioEvent::wait(int32_t ms) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    for (;;) {
        if (signalled.exchange(0, std::memory_order_acq_rel) == 1) return true;
        const auto left = deadline - clock::now();
        if (left <= clock::duration::zero()) return false;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
        timeout.tv_nsec = static_cast<long>(ns % 1000000000);
        // Sleeps only while the word is still 0; a set() in between makes
        // the call return at once. Spurious wake-ups just loop.
        ::syscall(SYS_futex, word(signalled), FUTEX_WAIT_PRIVATE, 0, &timeout, nullptr, 0);
    }
}

} // namespace sonabel
