// The watch on a device callback that finds a stream spinning on a dead
// server: block patterns of healthy devices (steady, stalled and catching
// up, a clock a little fast, a first burst) must pass, spinning must be
// found within a fraction of a second.

#include "io/CallbackWatch.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace sonabel;

namespace {

constexpr int64_t ms = 1'000'000;
constexpr double rate = 44100.0;

// Feeds blocks of `frames` every `periodNanos` for `seconds`; returns the
// time of the first refusal (-1: none).
int64_t feed(CallbackWatch& watch, int64_t& now, int32_t frames, int64_t periodNanos, double seconds) {
    const int64_t end = now + static_cast<int64_t>(seconds * 1e9);
    for (; now < end; now += periodNanos)
        if (!watch.noteAt(now, frames)) return now;
    return -1;
}

// One block period of a device at its rate, in nanoseconds.
int64_t periodOf(int32_t frames, double speed = 1.0) { return static_cast<int64_t>(frames / (rate * speed) * 1e9); }

} // namespace

TEST(CallbackWatch, HealthyDevicesPassAndASpinningStreamIsFoundFast) {
    struct Case {
        const char* what;
        std::function<int64_t(CallbackWatch&, int64_t&)> run; // the time of a refusal, or -1
        bool runaway;
    };
    const std::vector<Case> cases = {
        {"steady 512-frame blocks for a minute",
         [](CallbackWatch& w, int64_t& t) { return feed(w, t, 512, periodOf(512), 60); }, false},
        {"a first burst of 2048 frames, a two-second pause, then steady",
         [](CallbackWatch& w, int64_t& t) {
             w.noteAt(t, 2048);
             t += 1900 * ms;
             return feed(w, t, 512, periodOf(512), 10);
         },
         false},
        {"a stall of 1.5 s caught up block after block",
         [](CallbackWatch& w, int64_t& t) {
             feed(w, t, 1024, periodOf(1024), 2);
             t += 1500 * ms;
             // 65 blocks, 0.1 ms apart.
             const int64_t r = feed(w, t, 1024, ms / 10, 0.0065);
             return r >= 0 ? r : feed(w, t, 1024, periodOf(1024), 5);
         },
         false},
        {"a clock 0.5 % fast for an hour",
         [](CallbackWatch& w, int64_t& t) { return feed(w, t, 1024, periodOf(1024, 1.005), 3600); }, false},
        {"spinning on a dead server",
         [](CallbackWatch& w, int64_t& t) {
             feed(w, t, 512, periodOf(512), 1);
             return feed(w, t, 512, ms / 20, 5);
         },
         true},
        {"a stall of 4 s caught up at once, more than the two seconds saved",
         [](CallbackWatch& w, int64_t& t) {
             feed(w, t, 1024, periodOf(1024), 1);
             t += 4000 * ms;
             return feed(w, t, 1024, ms / 100, 0.0017);
         },
         true},
    };
    for (const Case& c : cases) {
        CallbackWatch watch;
        watch.reset(44100);
        int64_t now = watch.getLastNanos();
        const int64_t refused = c.run(watch, now);
        EXPECT_EQ(watch.isRunaway(), c.runaway) << c.what << " (excess " << watch.getExcessFrames() << " frames)";
        EXPECT_EQ(refused >= 0, c.runaway) << c.what;
    }
}

TEST(CallbackWatch, ASpinIsFoundWithinATenthOfASecondAndResetForgetsIt) {
    CallbackWatch watch;
    watch.reset(44100);
    int64_t now = watch.getLastNanos();
    feed(watch, now, 512, periodOf(512), 3);
    const int64_t spinStart = now;
    const int64_t refused = feed(watch, now, 512, ms / 20, 1);
    ASSERT_GE(refused, 0);
    EXPECT_LT(refused - spinStart, 100 * ms) << "found after " << (refused - spinStart) / ms << " ms";
    watch.reset(44100);
    EXPECT_FALSE(watch.isRunaway());
    EXPECT_EQ(watch.getExcessFrames(), 0);
}
