#include "LogCapture.h"
#include "TimeDomainTestDoubles.h"
#include "core/SampleBuffer.h"
#include "filters/BWLowpassFilter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;
using namespace sonabel::tdtest;

namespace {

const double pi = 3.14159265358979323846;

// Steady-state gain of the filter for a sine near `freq`: the tone runs for
// a second to settle, then its amplitude is measured over a whole number of
// periods (the frequency is nudged so that they fit exactly).
double measureGain(BWLowpassFilter& f, double freq, double fs) {
    int periods = std::max(1, static_cast<int>(std::lround(freq)));
    int length = static_cast<int>(std::lround(periods * fs / freq));
    double w = 2.0 * pi * periods / length;
    int settle = static_cast<int>(fs);
    SampleBuffer b(1, settle + length);
    float* x = b.getBuffer(0);
    for (int i = 0; i < settle + length; ++i) x[i] = static_cast<float>(0.5 * std::sin(w * i));
    f.process(b);
    double s = 0.0, c = 0.0;
    for (int i = 0; i < length; ++i) {
        s += x[settle + i] * std::sin(w * (settle + i));
        c += x[settle + i] * std::cos(w * (settle + i));
    }
    return 2.0 * std::sqrt(s * s + c * c) / length / 0.5;
}

TEST(BWLowpassFilterTest, ParameterTableAndTexts) {
    BWLowpassFilter f;
    EXPECT_STREQ(f.getName(), "Butterworth Lowpass");
    EXPECT_STREQ(f.getDescription(), "Only written for testing the audio framework.");
    ASSERT_EQ(f.getParameterCount(), 3);
    const char* names[] = {"Gain", "Cutoff Hz", "Resonance"};
    const int maxima[] = {100, 200, 200};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(f.getParameterInfo(i)->name, names[i]);
        EXPECT_EQ(f.getParameterInfo(i)->max, maxima[i]);
        EXPECT_EQ(f.getParameterInfo(i)->type, PARAM_SLIDER);
    }
    EXPECT_EQ(f.getParameter(0), 90);
    EXPECT_EQ(f.getParameter(1), 120);
    EXPECT_EQ(f.getParameter(2), 0);

    struct Row {
        float rate;
        int index, value;
        const char* text;
    };
    const Row rows[] = {
        {44100.0f, 0, 90, "90% gain"},
        {44100.0f, 1, 120, "423.43Hz cut off freq"},
        {44100.0f, 2, 0, " 1.0 resonance"},
        {44100.0f, 1, 0, "21.00Hz cut off freq"},
        {44100.0f, 1, 200, "22046.47Hz cut off freq"},
        {44100.0f, 2, 200, "988.9 resonance"},
        {44100.0f, 0, 101, "100% gain"},
        // Below 44100 Hz the top of the slider is limited under half the rate.
        {22050.0f, 1, 200, "11023.90Hz cut off freq"},
        {22050.0f, 1, 180, "8123.08Hz cut off freq"},
    };
    for (const Row& r : rows) {
        f.setFormat(AudioFormat(2, r.rate));
        f.setParameter(r.index, r.value);
        EXPECT_EQ(textOf(f, r.index), r.text) << r.index << " = " << r.value << " at " << r.rate;
    }
}

TEST(BWLowpassFilterTest, OutOfRangeIndicesUseTheirOwnTexts) {
    LogCapture log;
    BWLowpassFilter f;
    RecordingListener listener;
    f.listener = &listener;
    EXPECT_EQ(f.getParameterInfo(3), nullptr);
    EXPECT_TRUE(log.hasError("BWLowpassFilter::getParameterInfo(3): out of range.", 2));
    f.setParameter(3, 7);
    EXPECT_TRUE(log.hasError("BWLowpassFilter::setParameterValue(3, 7): number out of range.", 2));
    f.setParameter(-1, 0);
    EXPECT_TRUE(log.hasError("BWLowpassFilter::setParameterValue(-1, 0): number out of range.", 2));
    EXPECT_TRUE(listener.calls.empty());
    f.setParameter(1, 999);
    EXPECT_EQ(listener.calls, (std::vector<ListenerCall>{{"text", 1}}));
}

TEST(BWLowpassFilterTest, DefaultCoefficientsAt44100) {
    BWLowpassFilter f;
    float c[BWLowpassFilter::coeffCount];
    f.getCoefficients(c);
    EXPECT_NEAR(c[0], 6.894e-07, 0.001e-07);
    const float want[2][4] = {{-1.95134f, 0.95490f, 2.0f, 1.0f}, {-1.89103f, 0.89447f, 2.0f, 1.0f}};
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(c[1 + 4 * j + i], want[j][i], 1e-5f) << j << "," << i;
}

TEST(BWLowpassFilterTest, ConstantInputSettlesAtTheGain) {
    struct Row {
        int gain;
        float settled;
    };
    for (Row r : {Row{90, 0.9f}, Row{100, 1.0f}, Row{0, 0.0f}}) {
        BWLowpassFilter f;
        f.setParameter(0, r.gain);
        SampleBuffer b(2, 44100);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 44100; ++i) b.getBuffer(c)[i] = 1.0f;
        f.process(b);
        for (int c = 0; c < 2; ++c) EXPECT_NEAR(b.getBuffer(c)[44099], r.settled, 1e-4f) << "gain " << r.gain;
    }
}

TEST(BWLowpassFilterTest, OnlyARateChangeRecomputes) {
    BWLowpassFilter f;
    float before[BWLowpassFilter::coeffCount], after[BWLowpassFilter::coeffCount];
    f.getCoefficients(before);
    f.setFormat(AudioFormat(1, 44100.0f));
    f.getCoefficients(after);
    EXPECT_EQ(0, std::memcmp(before, after, sizeof(before)));
    EXPECT_EQ(f.getFormat()->channels, 1);
    f.setFormat(AudioFormat(1, 48000.0f));
    f.getCoefficients(after);
    EXPECT_NE(before[1], after[1]);
    EXPECT_EQ(f.getFormat()->sampleRate, 48000.0f);
}

TEST(BWLowpassFilterTest, ResonancePeaksNearTheCutoff) {
    const double fs = 44100.0;
    const double fc = BWLowpassFilter::cutoffOf(120);
    double flat = 0.0;
    for (int resonance : {0, 60}) {
        double best = 0.0, bestFreq = 0.0;
        for (double freq = fc * 0.5; freq <= fc * 1.5; freq *= 1.02) {
            BWLowpassFilter f;
            f.setParameter(0, 100);
            f.setParameter(2, resonance);
            double g = measureGain(f, freq, fs);
            if (g > best) best = g, bestFreq = freq;
        }
        if (resonance == 0) {
            flat = best;
            EXPECT_LT(best, 1.001); // Butterworth: no peak at all
        } else {
            EXPECT_GT(best, 3.0 * flat);
            EXPECT_NEAR(bestFreq, fc, 0.1 * fc);
        }
    }
}

TEST(BWLowpassFilterTest, CutoffStaysBelowHalfTheRate) {
    // At 22050 Hz the top slider steps would sit at or above half the rate,
    // where the prewarp breaks down; the filter must stay a stable lowpass
    // that passes what lies below its cut-off.
    BWLowpassFilter f;
    f.setFormat(AudioFormat(1, 22050.0f));
    f.setParameter(0, 100);
    f.setParameter(1, 200);
    float c[BWLowpassFilter::coeffCount];
    f.getCoefficients(c);
    for (float v : c) EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(measureGain(f, 1000.0, 22050.0), 1.0, 1e-3);
    EXPECT_NEAR(measureGain(f, 5512.5, 22050.0), 1.0, 1e-3);
    EXPECT_LT(BWLowpassFilter::limitCutoff(BWLowpassFilter::cutoffOf(200), 22050.0), 11025.0);
    EXPECT_EQ(BWLowpassFilter::limitCutoff(BWLowpassFilter::cutoffOf(200), 44100.0), BWLowpassFilter::cutoffOf(200));
}

TEST(BWLowpassFilterTest, EveryChannelHasItsOwnHistory) {
    // Four channels although the filter was told about two: each channel is
    // filtered on its own, none disturbs another.
    LogCapture log;
    BWLowpassFilter f;
    SampleBuffer b(4, 2048);
    for (int i = 0; i < 2048; ++i) {
        float v = static_cast<float>(std::sin(0.01 * i));
        b.getBuffer(0)[i] = v;
        b.getBuffer(1)[i] = 0.0f;
        b.getBuffer(2)[i] = v;
        b.getBuffer(3)[i] = i == 100 ? 1.0f : 0.0f;
    }
    f.process(b);
    BWLowpassFilter alone;
    SampleBuffer impulse(1, 2048);
    impulse.makeSilence(0, 2048);
    impulse.getBuffer(0)[100] = 1.0f;
    alone.process(impulse);
    for (int i = 0; i < 2048; ++i) {
        ASSERT_EQ(b.getBuffer(2)[i], b.getBuffer(0)[i]) << i;
        ASSERT_EQ(b.getBuffer(1)[i], 0.0f) << i;
        ASSERT_EQ(b.getBuffer(3)[i], impulse.getBuffer(0)[i]) << i;
    }
    EXPECT_EQ(log.count("ERROR"), 0);
}

TEST(BWLowpassFilterTest, ChunksAlwaysSeeAWholeCoefficientSet) {
    BWLowpassFilter f;
    float low[BWLowpassFilter::coeffCount], high[BWLowpassFilter::coeffCount];
    f.setParameter(1, 40);
    f.getCoefficients(low);
    f.setParameter(1, 160);
    f.getCoefficients(high);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) f.setParameter(1, i % 2 ? 40 : 160);
        stop = true;
    });
    int torn = 0;
    SampleBuffer b(2, 64);
    while (!stop) {
        float seen[BWLowpassFilter::coeffCount];
        f.getCoefficients(seen);
        if (std::memcmp(seen, low, sizeof(seen)) != 0 && std::memcmp(seen, high, sizeof(seen)) != 0) ++torn;
        f.process(b);
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
