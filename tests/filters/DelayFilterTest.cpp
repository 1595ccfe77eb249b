#include "LogCapture.h"
#include "TimeDomainTestDoubles.h"
#include "core/SampleBuffer.h"
#include "filters/DelayFilter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sonabel;
using namespace sonabel::test;
using namespace sonabel::tdtest;

namespace {

// Runs a mono signal through the filter in chunks and returns the output.
std::vector<float> run(DelayFilter& f, const std::vector<float>& in, int chunk = 1024) {
    std::vector<float> out;
    SampleBuffer b(1, chunk);
    for (size_t at = 0; at < in.size(); at += static_cast<size_t>(chunk)) {
        int n = static_cast<int>(std::min(in.size() - at, static_cast<size_t>(chunk)));
        b.setSize(n, 1);
        for (int i = 0; i < n; ++i) b.getBuffer(0)[i] = in[at + static_cast<size_t>(i)];
        f.process(b);
        out.insert(out.end(), b.getBuffer(0), b.getBuffer(0) + n);
    }
    return out;
}

TEST(DelayFilterTest, ParameterTableAndTexts) {
    DelayFilter f;
    EXPECT_STREQ(f.getName(), "Delay");
    EXPECT_STREQ(f.getDescription(), "Filter for delay (echo) effects.");
    EXPECT_STREQ(f.getAuthor(), "Orvanel");
    ASSERT_EQ(f.getParameterCount(), 2);
    const ParameterInfo* p0 = f.getParameterInfo(0);
    const ParameterInfo* p1 = f.getParameterInfo(1);
    EXPECT_STREQ(p0->name, "Delay");
    EXPECT_EQ(p0->max, 200);
    EXPECT_EQ(p0->type, PARAM_SLIDER);
    EXPECT_STREQ(p1->name, "Delay volume");
    EXPECT_EQ(p1->max, 100);

    struct Row {
        int index, value;
        const char* text;
    };
    const Row rows[] = {
        {0, 40, "80.00 ms delay"}, {0, 0, "0.00 ms delay"}, {0, 200, "400.00 ms delay"}, {0, 250, "400.00 ms delay"},
        {1, 80, "80% linear delay volume"}, {1, -3, "0% linear delay volume"}, {1, 150, "100% linear delay volume"},
    };
    for (const Row& r : rows) {
        f.setParameter(r.index, r.value);
        EXPECT_EQ(textOf(f, r.index), r.text) << r.index << " = " << r.value;
    }
    EXPECT_EQ(textOf(f, 2), "");
}

TEST(DelayFilterTest, OutOfRangeIndicesAreReportedAndClampingNotifiesOnce) {
    LogCapture log;
    DelayFilter f;
    RecordingListener listener;
    f.listener = &listener;
    EXPECT_EQ(f.getParameterInfo(2), nullptr);
    EXPECT_EQ(f.getParameterInfo(-1), nullptr);
    EXPECT_TRUE(log.hasError("DelayFilter::getParameterInfo(2): out of range.", 2));
    EXPECT_TRUE(log.hasError("DelayFilter::getParameterInfo(-1): out of range.", 2));
    f.setParameter(2, 7);
    EXPECT_TRUE(log.hasError("DelayFilter::setParameter(2, 7): number out of range.", 2));
    EXPECT_TRUE(listener.calls.empty());
    EXPECT_EQ(f.getParameter(2), 0);

    f.setParameter(0, 250);
    EXPECT_EQ(f.getParameter(0), 200);
    f.setParameter(1, -3);
    EXPECT_EQ(f.getParameter(1), 0);
    EXPECT_EQ(listener.calls, (std::vector<ListenerCall>{{"text", 0}, {"text", 1}}));
}

TEST(DelayFilterTest, ImpulseEchoesAtTheDefaults) {
    DelayFilter f;
    EXPECT_EQ(f.getDelayFrames(), 3528);
    std::vector<float> in(12000, 0.0f);
    in[0] = 1.0f;
    std::vector<float> out = run(f, in);
    for (size_t i = 0; i < out.size(); ++i) {
        float want = i == 0 ? 1.0f : i == 3528 ? 0.8f : i == 7056 ? 0.64f : i == 10584 ? 0.512f : 0.0f;
        ASSERT_NEAR(out[i], want, 1e-6f) << "frame " << i;
    }
}

TEST(DelayFilterTest, EveryChannelEchoesItsOwnSignal) {
    // Three channels, although the format says two: the third gets its own
    // history instead of sharing the first one's.
    LogCapture log;
    DelayFilter f;
    f.setParameter(0, 5); // 10 ms = 441 frames
    SampleBuffer b(3, 1024);
    b.makeSilence(0, 1024);
    b.getBuffer(1)[0] = 0.5f;
    b.getBuffer(2)[3] = 1.0f;
    f.process(b);
    EXPECT_NEAR(b.getBuffer(0)[441], 0.0f, 1e-7f);
    EXPECT_NEAR(b.getBuffer(0)[444], 0.0f, 1e-7f);
    EXPECT_NEAR(b.getBuffer(1)[441], 0.4f, 1e-6f);
    EXPECT_NEAR(b.getBuffer(2)[444], 0.8f, 1e-6f);
    EXPECT_NEAR(b.getBuffer(2)[441], 0.0f, 1e-7f);
    EXPECT_EQ(f.getRingChannels(), 3);
    EXPECT_EQ(log.count("ERROR"), 0);
}

TEST(DelayFilterTest, ZeroDelayOrZeroVolumePassesTheSignal) {
    DelayFilter f;
    f.setParameter(0, 0);
    EXPECT_EQ(f.getDelayFrames(), 0);
    std::vector<float> in = {0.25f, -0.5f, 1.0f, 0.0f, 0.125f};
    EXPECT_EQ(run(f, in), in);

    // Volume 0 still fills the ring: raising it afterwards brings the echo.
    DelayFilter g;
    g.setParameter(1, 0);
    std::vector<float> impulse(3528, 0.0f);
    impulse[0] = 1.0f;
    EXPECT_EQ(run(g, impulse), impulse);
    g.setParameter(1, 50);
    std::vector<float> after = run(g, std::vector<float>(10, 0.0f));
    EXPECT_FLOAT_EQ(after[0], 0.5f);
    EXPECT_FLOAT_EQ(after[1], 0.0f);
}

TEST(DelayFilterTest, RingGrowsByQuarterSecondsAndNeverShrinks) {
    struct Row {
        float rate;
        int step, frames, ring;
    };
    const Row rows[] = {
        {44100.0f, 40, 3528, 11025},
        {44100.0f, 200, 17640, 22050},
        {48000.0f, 200, 19200, 24000},
        {8000.0f, 200, 3200, 11025}, // the ring made at 44100 Hz is big enough
    };
    for (const Row& r : rows) {
        DelayFilter f;
        f.setFormat(AudioFormat(2, r.rate));
        f.setParameter(0, r.step);
        EXPECT_EQ(f.getDelayFrames(), r.frames) << r.rate << " Hz, step " << r.step;
        EXPECT_EQ(f.getRingSamples(), r.ring) << r.rate << " Hz, step " << r.step;
    }
    DelayFilter f;
    f.setParameter(0, 200);
    f.setFormat(AudioFormat(1, 8000.0f));
    EXPECT_EQ(f.getRingSamples(), 22050);
    EXPECT_EQ(f.getRingChannels(), 2);
    // A very low rate cannot make the growth step zero.
    f.setFormat(AudioFormat(1, 2.0f));
    EXPECT_EQ(f.getDelayFrames(), 0);
}

TEST(DelayFilterTest, ShorterDelayKeepsTheOldestHistory) {
    // At 1000 Hz step 5 is 10 frames and step 2 is 4 frames; volume 100%
    // makes the ring hold y exactly.
    DelayFilter f;
    f.setFormat(AudioFormat(1, 1000.0f));
    f.setParameter(0, 5);
    f.setParameter(1, 100);
    ASSERT_EQ(f.getDelayFrames(), 10);
    std::vector<float> in;
    for (int i = 1; i <= 13; ++i) in.push_back(static_cast<float>(i));
    run(f, in); // ring: y10 y11 y12 | 4 5 6 7 8 9 10, oldest at 3
    ASSERT_EQ(f.getCurrentPosition(), 3);
    f.setParameter(0, 2);
    EXPECT_EQ(f.getDelayFrames(), 4);
    EXPECT_EQ(f.getCurrentPosition(), 0);
    EXPECT_EQ(run(f, std::vector<float>(4, 0.0f)), (std::vector<float>{4, 5, 6, 7}));

    // With the read position at 0 nothing moves.
    DelayFilter g;
    g.setFormat(AudioFormat(1, 1000.0f));
    g.setParameter(0, 5);
    g.setParameter(1, 100);
    run(g, std::vector<float>(in.begin(), in.begin() + 10));
    ASSERT_EQ(g.getCurrentPosition(), 0);
    g.setParameter(0, 2);
    EXPECT_EQ(run(g, std::vector<float>(4, 0.0f)), (std::vector<float>{1, 2, 3, 4}));
}

TEST(DelayFilterTest, ChunksShorterAndLongerThanTheDelayGiveTheSameEchoes) {
    std::vector<float> in(9000, 0.0f);
    for (size_t i = 0; i < in.size(); i += 997) in[i] = 0.3f;
    DelayFilter a, b;
    std::vector<float> big = run(a, in, 4096);
    std::vector<float> small = run(b, in, 100);
    ASSERT_EQ(big.size(), small.size());
    for (size_t i = 0; i < big.size(); ++i) ASSERT_FLOAT_EQ(big[i], small[i]) << i;
}

} // namespace
