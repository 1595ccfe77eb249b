#include "LogCapture.h"
#include "WaveletFilterTestSupport.h"
#include "core/SampleBuffer.h"
#include "filters/ShowWLFunctionFilter.h"
#include "filters/WTForwardFilter.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"

#include <gtest/gtest.h>

#include <string>

using namespace sonabel;
using namespace sonabel::wavelettest;
using sonabel::test::LogCapture;

namespace {

std::string text(AudioFilter& f, int index) {
    char buffer[200];
    return f.getParameterText(index, buffer, 199);
}

// Positions of the non-zero coefficients, as (level, index); level 9 is the
// approximations.
std::vector<std::pair<int, int>> pulses(WaveletCoeffs& c) {
    std::vector<std::pair<int, int>> out;
    for (int j = 0; j <= c.getLevelCount(); ++j) {
        int n = 0;
        float* v = j < c.getLevelCount() ? c.getDetails(j, n) : c.getApproximations(n);
        for (int k = 0; k < n; ++k)
            if (v[k] != 0.0f) out.emplace_back(j == c.getLevelCount() ? 9 : j, k);
    }
    return out;
}

TEST(ShowWLFunctionFilterTest, ParameterTexts) {
    LogCapture log;
    ShowWLFunctionFilter f;
    EXPECT_STREQ(f.getName(), "Display Wavelet function");
    struct Case {
        int index, value;
        const char* text;
    };
    const Case cases[] = {
        {0, 4, "Details level 5"}, {0, 0, "Details level 1"}, {0, 9, "Approximations"},
        {1, 50, "Time 50%"}, {1, 0, "Time 0%"}, {2, 70, "4.5 dB (1.679 linear)"},
        {2, 0, "-inf dB (0 linear)"}, {2, 1, "-30.0 dB (0.032 linear)"},
    };
    for (const Case& c : cases) {
        f.setParameter(c.index, c.value);
        EXPECT_EQ(text(f, c.index), c.text);
    }
    f.setParameter(3, 0);
    EXPECT_TRUE(log.hasError("ShowWLFunctionFilter::setParameter(3, 0): number out of range.", 2));
    EXPECT_EQ(f.getParameterInfo(3), nullptr);
    EXPECT_TRUE(log.hasError("ShowWLFunctionFilter::getParameterInfo(3): out of range.", 2));
}

TEST(ShowWLFunctionFilterTest, OnePulseAtTheChosenPlace) {
    struct Case {
        int scale, time;
        std::vector<std::pair<int, int>> expected;
    };
    const Case cases[] = {
        {0, 50, {{0, 257}}},   // 514 values on level 1 (L = 6)
        {0, 100, {{0, 513}}},  // the last one
        {0, 0, {{0, 0}}},
        {9, 50, {{9, 3}}},     // 6 approximations
        {8, 100, {{8, 5}}},
    };
    for (const Case& c : cases) {
        ShowWLFunctionFilter f;
        f.setParameter(0, c.scale);
        f.setParameter(1, c.time);
        WTForwardFilter forward;
        SampleBuffer b(2, 1024);
        fillSignal(b);
        forward.process(b);
        f.process(b);
        for (int ch = 0; ch < 2; ++ch) {
            WaveletCoeffs& coeffs = b.attachedCoeffs->getCoeffs(ch);
            EXPECT_EQ(pulses(coeffs), c.expected) << c.scale << "/" << c.time;
            int n = 0;
            float* v = c.scale == 9 ? coeffs.getApproximations(n) : coeffs.getDetails(c.scale, n);
            EXPECT_NEAR(v[c.expected[0].second], 1.679f, 1e-3);
        }
    }
}

TEST(ShowWLFunctionFilterTest, MissingLevelLeavesEverythingZero) {
    ShowWLFunctionFilter f;
    f.setParameter(0, 8); // level 9; 64 samples have 5 levels
    WTForwardFilter forward;
    SampleBuffer b(1, 64);
    fillSignal(b);
    forward.process(b);
    f.process(b);
    EXPECT_TRUE(pulses(b.attachedCoeffs->getCoeffs(0)).empty());
    // And without coefficients it does nothing at all.
    SampleBuffer plain(1, 64);
    fillSignal(plain);
    auto before = channel(plain, 0);
    f.process(plain);
    EXPECT_EQ(channel(plain, 0), before);
}

} // namespace
