#pragma once
// The high-resolution counter that times filters: steady_clock in
// nanoseconds, so the frequency is 1e9 ticks per second.

#include <chrono>
#include <cstdint>

namespace sonabel {

inline constexpr double performanceFrequency = 1e9;

inline uint64_t readPerformanceCounter() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

// The low 32 bits, which wrap about every 4.3 s; differences are taken unsigned.
inline uint32_t readPerformanceCounterLow() { return static_cast<uint32_t>(readPerformanceCounter()); }

} // namespace sonabel
