#include "LogCapture.h"
#include "WaveletFilterTestSupport.h"
#include "core/SampleBuffer.h"
#include "filters/EqualizerFilter.h"
#include "filters/WTForwardFilter.h"
#include "filters/WTInverseFilter.h"
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

TEST(EqualizerFilterTest, ParametersAndModeSwitch) {
    LogCapture log;
    EqualizerFilter f;
    EXPECT_STREQ(f.getName(), "Wavelet Equalizer");
    EXPECT_EQ(f.getParameterCount(), 11);
    EXPECT_STREQ(f.getParameterInfo(0)->name, "Type");
    EXPECT_STREQ(f.getParameterInfo(1)->name, "Details level 1");
    EXPECT_STREQ(f.getParameterInfo(9)->name, "Details level 9");
    EXPECT_STREQ(f.getParameterInfo(10)->name, "Approximations");
    EXPECT_EQ(text(f, 0), "Multiplying coefficients");
    EXPECT_EQ(text(f, 3), "1.000000 factor");
    f.setParameter(3, 75);
    EXPECT_EQ(text(f, 3), "1.500000 factor");

    RecordingListener listener;
    f.listener = &listener;
    f.setParameter(0, 1);
    EXPECT_EQ(text(f, 0), "Adding coefficients");
    EXPECT_EQ(f.getParameter(3), 50); // the add steps show, the 75 stays stored
    EXPECT_EQ(text(f, 3), "0.000000 summand");
    std::vector<int> bands = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(listener.values, bands);
    bands.push_back(0);
    EXPECT_EQ(listener.texts, bands);
    EXPECT_EQ(listener.order[0], 'v');
    EXPECT_EQ(listener.order[1], 't');
    f.setParameter(3, 40);
    EXPECT_EQ(text(f, 3), "-0.200000 summand");
    f.setParameter(0, 0);
    EXPECT_EQ(f.getParameter(3), 75);

    f.setParameter(11, 1);
    EXPECT_TRUE(log.hasError("EqualizerFilter::setParameter(11, 1): number out of range.", 2));
    EXPECT_EQ(f.getParameterInfo(11), nullptr);
    EXPECT_TRUE(log.hasError("EqualizerFilter::getParameterInfo(11): out of range.", 2));
}

TEST(EqualizerFilterTest, AddingNeverCrossesZero) {
    EqualizerFilter f;
    f.setParameter(0, 1);
    f.setParameter(1, 40); // summand -0.2 on level 1
    WTForwardFilter forward;
    forward.setParameter(0, 0);
    SampleBuffer b(1, 8);
    fillSignal(b);
    forward.process(b);
    int n = 0;
    float* d = b.attachedCoeffs->getCoeffs(0).getDetails(0, n);
    ASSERT_EQ(n, 4);
    const float in[] = {0.5f, 0.1f, -0.1f, -0.5f};
    const float out[] = {0.3f, 0.0f, 0.0f, -0.3f};
    for (int k = 0; k < 4; ++k) d[k] = in[k];
    f.process(b);
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(d[k], out[k]) << k;
}

TEST(EqualizerFilterTest, NeutralSettingsChangeNothingAndBandsHitTheirLevel) {
    for (int mode = 0; mode < 2; ++mode) {
        EqualizerFilter f;
        f.setParameter(0, mode);
        WTForwardFilter forward;
        WTInverseFilter inverse;
        SampleBuffer b(2, 1024), ref(2, 1024);
        fillSignal(b);
        fillSignal(ref);
        forward.process(b);
        f.process(b);
        inverse.process(b);
        WTForwardFilter forward2;
        WTInverseFilter inverse2;
        forward2.process(ref);
        inverse2.process(ref);
        EXPECT_EQ(channel(b, 1), channel(ref, 1)) << mode;
    }
    EqualizerFilter f;
    f.setParameter(10, 100); // approximations doubled
    f.setParameter(9, 0);    // level 9 removed
    WTForwardFilter forward;
    SampleBuffer b(1, 1024);
    fillSignal(b);
    forward.process(b);
    WaveletCoeffs& c = b.attachedCoeffs->getCoeffs(0);
    int n = 0;
    const float a0 = c.getApproximations(n)[0];
    const float d0 = c.getDetails(7, n)[0];
    f.process(b);
    EXPECT_EQ(c.getApproximations(n)[0], 2.0f * a0);
    EXPECT_EQ(c.getDetails(8, n)[0], 0.0f);
    EXPECT_EQ(c.getDetails(7, n)[0], d0);
}

TEST(EqualizerFilterTest, MoreThanNineLevelsAreReported) {
    LogCapture log;
    setDebugThreshold(1);
    EqualizerFilter f;
    WTForwardFilter forward;
    SampleBuffer b(1, 4096); // 11 levels
    fillSignal(b);
    forward.process(b);
    f.process(b);
    EXPECT_TRUE(log.contains("Scales not sufficient."));
}

} // namespace
