#include "LogCapture.h"
#include "WaveletFilterTestSupport.h"
#include "core/SampleBuffer.h"
#include "filters/WTForwardFilter.h"
#include "filters/WTInverseFilter.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace sonabel;
using namespace sonabel::wavelettest;
using sonabel::test::LogCapture;

namespace {

std::string text(AudioFilter& f, int index) {
    char buffer[200];
    return f.getParameterText(index, buffer, 199);
}

TEST(WTInverseFilterTest, DescriptorAndParameters) {
    LogCapture log;
    WTInverseFilter f;
    EXPECT_STREQ(f.getName(), "Inverse Wavelet Transform");
    EXPECT_STREQ(f.getDescription(),
                 "Applies the inverse wavelet transform to the data created with the forward transform filter.");
    EXPECT_STREQ(f.getParameterInfo(0)->name, "DC Offset Error");
    EXPECT_EQ(f.getParameterInfo(0)->type, PARAM_DISPLAY);
    EXPECT_EQ(f.getParameterInfo(0)->max, 0);
    EXPECT_STREQ(f.getParameterInfo(1)->name, "DC Offset correction type");
    const char* names[] = {"No correction", "Re-establish original offsets at start and end",
                           "Connect beginning with end of last chunk"};
    RecordingListener listener;
    f.listener = &listener;
    for (int v = 0; v < 3; ++v) {
        f.setParameter(1, v);
        EXPECT_EQ(text(f, 1), names[v]);
    }
    f.setParameter(1, 9);
    EXPECT_EQ(f.getParameter(1), 2);
    f.setParameter(0, 5); // the display takes no value but still notifies
    EXPECT_EQ(f.getParameter(0), 0);
    EXPECT_EQ(listener.texts, (std::vector<int>{1, 1, 1, 1, 0}));
    EXPECT_EQ(text(f, 0), "0.000000");
    f.setParameter(-1, 0);
    EXPECT_TRUE(log.hasError("WTInverseFilter::setParameter(-1, 0): number out of range.", 2));
    EXPECT_EQ(f.getParameterInfo(2), nullptr);
    EXPECT_TRUE(log.hasError("WTInverseFilter::getParameterInfo(2): out of range.", 2));
}

TEST(WTInverseFilterTest, AloneItPassesTheChunkAndMeasuresNothing) {
    WTInverseFilter f;
    SampleBuffer b(2, 64);
    fillSignal(b);
    auto before = channel(b, 0);
    for (int k = 0; k < 25; ++k) f.process(b);
    EXPECT_EQ(channel(b, 0), before);
    EXPECT_EQ(f.getDcOffsetError(), 0.0f);
}

TEST(WTInverseFilterTest, RestoringTheEndsTouchesChannelZeroOnly) {
    WTForwardFilter forward;
    forward.setParameter(1, 2); // mirror: the ends are not restored exactly
    WTInverseFilter inverse;
    inverse.setParameter(1, 1);
    SampleBuffer b(2, 256);
    fillSignal(b);
    const float first = b.getBuffer(0)[0], last = b.getBuffer(0)[255];
    forward.process(b);
    inverse.process(b);
    EXPECT_NEAR(b.getBuffer(0)[0], first, 1e-6);
    EXPECT_NEAR(b.getBuffer(0)[255], last, 1e-6);

    // Without correction channel 1 comes out of the same rebuild.
    WTForwardFilter forward2;
    forward2.setParameter(1, 2);
    WTInverseFilter plain;
    SampleBuffer c(2, 256);
    fillSignal(c);
    forward2.process(c);
    plain.process(c);
    EXPECT_EQ(channel(b, 1), channel(c, 1));
}

TEST(WTInverseFilterTest, SingleSampleChunksStayFinite) {
    WTInverseFilter f;
    for (int type = 1; type <= 2; ++type) {
        f.setParameter(1, type);
        SampleBuffer b(1, 1);
        b.getBuffer(0)[0] = 0.5f;
        f.process(b);
        EXPECT_TRUE(std::isfinite(b.getBuffer(0)[0])) << type;
    }
    SampleBuffer empty(1, 0);
    f.process(empty);
}

TEST(WTInverseFilterTest, ConnectingChunksStartsFromTheLastSample) {
    WTInverseFilter f;
    f.setParameter(1, 2);
    SampleBuffer b(2, 5);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 5; ++i) b.getBuffer(c)[i] = 1.0f;
    f.process(b); // remembered samples start at 0
    EXPECT_FLOAT_EQ(b.getBuffer(0)[0], 0.0f);
    EXPECT_FLOAT_EQ(b.getBuffer(1)[2], 0.5f);
    EXPECT_FLOAT_EQ(b.getBuffer(1)[4], 1.0f);
    for (int i = 0; i < 5; ++i) b.getBuffer(0)[i] = 3.0f;
    f.process(b); // now from the previous chunk's last sample, 1
    EXPECT_FLOAT_EQ(b.getBuffer(0)[0], 1.0f);
    EXPECT_FLOAT_EQ(b.getBuffer(0)[4], 3.0f);
}

TEST(WTInverseFilterTest, ErrorIsTheMeanStartJumpOverTwentyChunks) {
    WTInverseFilter f;
    f.setParameter(1, 2);
    RecordingListener listener;
    f.listener = &listener;
    SampleBuffer b(1, 8);
    for (int k = 0; k < 21; ++k) {
        for (int i = 0; i < 8; ++i) b.getBuffer(0)[i] = 0.25f;
        f.process(b);
        if (k < 20) {
            EXPECT_EQ(text(f, 0), "0.000000") << k;
        }
    }
    // The first chunk jumped by 0.25 (from 0), the 19 after it by 0.
    EXPECT_EQ(text(f, 0), "0.012500");
    EXPECT_EQ(listener.texts, (std::vector<int>{0}));
}

TEST(WTInverseFilterTest, StaleCoefficientsSkipTheChunk) {
    WTForwardFilter forward;
    WTInverseFilter inverse;
    inverse.setParameter(1, 2);
    SampleBuffer b(1, 64);
    fillSignal(b);
    WTFilterInfo stale(1, &forward);
    b.attachedCoeffs = &stale;
    auto before = channel(b, 0);
    inverse.process(b);
    EXPECT_EQ(channel(b, 0), before);
    EXPECT_EQ(b.attachedCoeffs, &stale);
}

} // namespace
