#include "LogCapture.h"
#include "WaveletFilterTestSupport.h"
#include "core/SampleBuffer.h"
#include "filters/DenoiseFilter.h"
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

// One channel whose every coefficient is `value`, with the layout of a
// forward transform (wavelet, N).
struct Attached {
    WTForwardFilter forward;
    SampleBuffer buffer;
    Attached(int wavelet, int N, float value) : buffer(1, N) {
        forward.setParameter(0, wavelet);
        fillSignal(buffer);
        forward.process(buffer);
        WaveletCoeffs& c = coeffs();
        for (int j = 0; j < c.getLevelCount(); ++j) {
            int n = 0;
            float* d = c.getDetails(j, n);
            for (int k = 0; k < n; ++k) d[k] = value;
        }
        int n = 0;
        float* a = c.getApproximations(n);
        for (int k = 0; k < n; ++k) a[k] = value;
    }
    WaveletCoeffs& coeffs() { return buffer.attachedCoeffs->getCoeffs(0); }
    // How many coefficients of a level still hold `value`.
    int unchanged(int level, float value) {
        int n = 0;
        float* d = level < coeffs().getLevelCount() ? coeffs().getDetails(level, n) : coeffs().getApproximations(n);
        int count = 0;
        for (int k = 0; k < n; ++k) count += d[k] == value;
        return count;
    }
};

TEST(DenoiseFilterTest, ParameterTextsAndMapping) {
    LogCapture log;
    DenoiseFilter f;
    EXPECT_STREQ(f.getName(), "Wavelet Denoiser");
    EXPECT_STREQ(f.getDescription(),
                 "Filter for denoising. Need to use inbetween forward and inverse Wavelet Transform filters");
    const char* names[] = {"Threshold", "Type", "Number of scales", "Denoise also padding coefficients"};
    const int maxima[] = {200, 2, 9, 1};
    const ParameterType types[] = {PARAM_SLIDER, PARAM_CHOICE, PARAM_CHOICE, PARAM_CHECKBOX};
    const int defaults[] = {10, 0, 4, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(f.getParameterInfo(i)->name, names[i]);
        EXPECT_EQ(f.getParameterInfo(i)->max, maxima[i]);
        EXPECT_EQ(f.getParameterInfo(i)->type, types[i]);
        EXPECT_EQ(f.getParameter(i), defaults[i]);
    }
    struct Case {
        int index, value;
        const char* text;
    };
    const Case cases[] = {
        {0, 10, "-65.5 db threshold (0.001 linear)"}, {0, 1, "-70.0 db threshold (0.000 linear)"},
        {0, 200, "29.5 db threshold (29.854 linear)"}, {0, 0, "-inf db threshold (0 linear)"},
        {0, 300, "29.5 db threshold (29.854 linear)"}, {1, 0, "Soft Thresholding"},
        {1, 1, "Hard Thresholding"}, {1, 2, "Dynamic Thresholding"}, {2, 0, "Denoise up to details level 1"},
        {2, 8, "Denoise up to details level 9"}, {2, 9, "Denoise all detail levels and approximations"},
        {3, 0, "no"}, {3, 1, "yes"},
    };
    for (const Case& c : cases) {
        f.setParameter(c.index, c.value);
        EXPECT_EQ(text(f, c.index), c.text) << c.index << "=" << c.value;
    }
    f.setParameter(0, 10);
    EXPECT_NEAR(f.getThreshold(), 0.000530884f, 1e-8);
    f.setParameter(4, 0);
    EXPECT_TRUE(log.hasError("DenoiseFilter::setParameter(4, 0): number out of range.", 2));
    EXPECT_EQ(f.getParameterInfo(-1), nullptr);
    EXPECT_TRUE(log.hasError("DenoiseFilter::getParameterInfo(-1): out of range.", 2));
}

TEST(DenoiseFilterTest, Rules) {
    // A threshold of 0.5 is not on the step grid; the rules are checked
    // through step 135 (T = 10^(-3/20) = 0.708) and exact values.
    struct Case {
        int type;
        float in, out;
    };
    DenoiseFilter f;
    f.setParameter(0, 135);
    const float T = f.getThreshold();
    const Case cases[] = {
        {0, 0.3f, 0.0f}, {0, -0.9f, -0.9f + T}, {0, 0.9f, 0.9f - T}, {0, T, 0.0f},
        {1, 0.3f, 0.0f}, {1, -0.9f, -0.9f}, {1, T, T},
        {2, -0.5f, -0.25f}, {2, 2.0f, 4.0f},
    };
    for (const Case& c : cases) {
        f.setParameter(1, c.type);
        Attached a(0, 16, c.in);
        f.process(a.buffer);
        EXPECT_EQ(a.unchanged(0, c.out), 8) << c.type << " " << c.in;
    }
}

TEST(DenoiseFilterTest, NothingWithoutCoefficientsOrAtStepZero) {
    DenoiseFilter f;
    SampleBuffer b(1, 64);
    fillSignal(b);
    auto before = channel(b, 0);
    f.process(b);
    EXPECT_EQ(channel(b, 0), before);

    f.setParameter(0, 0);
    f.setParameter(1, 2); // dynamic ignores T, but step 0 still means off
    Attached a(2, 64, 0.5f);
    f.process(a.buffer);
    EXPECT_EQ(a.unchanged(0, 0.5f), 34);
}

TEST(DenoiseFilterTest, NumberOfScalesAndPadding) {
    DenoiseFilter f;
    f.setParameter(1, 1); // hard; all values 0.0001 fall under the default T
    {
        Attached a(0, 1024, 0.0001f);
        f.process(a.buffer); // levels 1 to 5
        for (int j = 0; j < 5; ++j) EXPECT_EQ(a.unchanged(j, 0.0001f), 0) << j;
        for (int j = 5; j < 9; ++j) EXPECT_EQ(a.unchanged(j, 0.0001f), 512 >> j) << j;
        EXPECT_EQ(a.unchanged(9, 0.0001f), 2);
    }
    f.setParameter(2, 9);
    {
        Attached a(0, 1024, 0.0001f);
        f.process(a.buffer);
        for (int j = 0; j <= 9; ++j) EXPECT_EQ(a.unchanged(j, 0.0001f), 0) << j;
    }
    f.setParameter(2, 8); // "up to level 9" on 512 samples (8 levels): everything
    {
        Attached a(0, 512, 0.0001f);
        f.process(a.buffer);
        for (int j = 0; j <= 8; ++j) EXPECT_EQ(a.unchanged(j, 0.0001f), 0) << j;
    }
    f.setParameter(2, 0);
    f.setParameter(3, 0); // core only: of level 1's 514 (L = 6) the middle 512
    {
        Attached a(2, 1024, 0.0001f);
        f.process(a.buffer);
        int n = 0;
        float* d = a.coeffs().getDetails(0, n);
        ASSERT_EQ(n, 514);
        EXPECT_EQ(d[0], 0.0001f);
        EXPECT_EQ(d[1], 0.0f);
        EXPECT_EQ(d[512], 0.0f);
        EXPECT_EQ(d[513], 0.0001f);
    }
}

} // namespace
