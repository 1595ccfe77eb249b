#pragma once
// The one random source of the noise filters: a 32-bit linear congruential
// generator (state = state * 214013 + 2531011, bits 16..30 returned, so draws
// are 0..32767; the first draw from state 1 is 41) and a Gaussian source by
// the polar method whose second value waits as a spare for the next call.
// There is one process-wide instance, never reseeded by the program, so the
// noise is the same from run to run and the spare carries over between
// chunks and between filters.
//
// A user holds the instance's lock while drawing (a noise filter for its
// whole chunk), so two engines never interleave inside a chunk.

#include <cstdint>
#include <mutex>

namespace sonabel {

class RandomGenerator {
public:
    static constexpr int maxDraw = 32767;

    RandomGenerator() = default;
    RandomGenerator(const RandomGenerator&) = delete;
    RandomGenerator& operator=(const RandomGenerator&) = delete;

    static RandomGenerator& shared();

    // 0..32767.
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7fffu);
    }
    // Zero mean, unit variance.
    float nextGaussian();
    // Back to the start-up state with no spare (tests only).
    void reset();
    bool hasSpare() const { return spareValid; }

    void lock() { mutex.lock(); }
    void unlock() { mutex.unlock(); }

private:
    uint32_t state = 1;
    float gaussianSpare = 0.0f;
    bool spareValid = false;
    std::mutex mutex;
};

} // namespace sonabel
