// This binary replaces the global operator new with a counting one, so the
// test can prove that a steady tick allocates nothing.

#include "TestStreams.h"
#include "TestTickProvider.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

// The replacements pair malloc with free, which GCC cannot see across them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

using namespace sonabel;
using namespace sonabel::test;

TEST(AllocationCountTest, SteadyTicksAllocateNothing) {
    AudioMixer mixer;
    ConstantReader a(0.1f), b(0.2f, 1), c(0.3f, 4);
    GainFilter f1(50), f2(150), f3(100);
    mixer.addInput(&a, 1.0f, false);
    mixer.addInput(&b, 0.5f, false);
    mixer.addInput(&c, 0.25f, false);
    mixer.addFilter(&f1);
    mixer.addFilter(&f2);
    mixer.addFilter(&f3);
    mixer.open();
    mixer.start();
    AudioSynchronizer sync;
    sync.setReader(&mixer);
    RecordingWriter out;
    out.keepSamples = false;
    sync.addWriter(&out);
    TestTickProvider clock(1024);
    sync.setTickProvider(&clock);
    sync.start();

    for (int i = 0; i < 10; ++i) clock.tick(); // warm-up: the chunk buffer is made here
    long before = allocations.load();
    for (int i = 0; i < 1000; ++i) clock.tick();
    long during = allocations.load() - before;
    EXPECT_EQ(during, 0) << "allocations in 1000 steady ticks";
    EXPECT_EQ(out.frames, 1010 * 1024);
    sync.stop();
    sync.setTickProvider(nullptr);
    mixer.removeFilter(&f1);
    mixer.removeFilter(&f2);
    mixer.removeFilter(&f3);
}
