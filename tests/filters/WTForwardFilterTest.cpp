#include "LogCapture.h"
#include "WaveletFilterTestSupport.h"
#include "core/SampleBuffer.h"
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

TEST(WTForwardFilterTest, DescriptorAndParameters) {
    LogCapture log;
    WTForwardFilter f;
    EXPECT_STREQ(f.getName(), "Forward Wavelet Transform");
    EXPECT_STREQ(f.getAuthor(), "Orvanel");
    EXPECT_STREQ(f.getDescription(),
                 "Put this before filters needing the wavelet transform. After them, put a Inverse Wavelet filter.");
    EXPECT_EQ(f.getParameterCount(), 2);
    EXPECT_STREQ(f.getParameterInfo(0)->name, "Wavelet");
    EXPECT_EQ(f.getParameterInfo(0)->max, 32);
    EXPECT_EQ(f.getParameterInfo(0)->type, PARAM_CHOICE);
    EXPECT_STREQ(f.getParameterInfo(1)->name, "Algorithm");
    EXPECT_EQ(f.getParameterInfo(1)->max, 4);
    EXPECT_EQ(f.getParameter(0), 2);
    EXPECT_EQ(f.getParameter(1), 1);
    EXPECT_EQ(text(f, 0), "Daubechies 3");
    EXPECT_EQ(text(f, 1), "Zero padding optimized");

    RecordingListener listener;
    f.listener = &listener;
    f.setParameter(0, 40);
    EXPECT_EQ(f.getParameter(0), 32);
    EXPECT_EQ(text(f, 0), "Spline 9/7");
    f.setParameter(1, -3);
    EXPECT_EQ(text(f, 1), "Zero padding generic");
    EXPECT_EQ(listener.texts, (std::vector<int>{0, 1}));

    EXPECT_EQ(f.getParameterInfo(2), nullptr);
    EXPECT_TRUE(log.hasError("WTForwardFilter::getParameterInfo(2): out of range.", 2));
    f.setParameter(2, 1);
    EXPECT_TRUE(log.hasError("WTForwardFilter::setParameter(2, 1): number out of range.", 2));
    EXPECT_EQ(f.getParameter(5), 0);
    EXPECT_EQ(text(f, 5), "");
}

TEST(WTForwardFilterTest, AttachesCoefficientsAndLeavesSamples) {
    WTForwardFilter f;
    SampleBuffer b(2, 1024);
    fillSignal(b);
    auto before0 = channel(b, 0);
    f.process(b);
    ASSERT_NE(b.attachedCoeffs, nullptr);
    EXPECT_EQ(b.attachedCoeffs, f.getFilterInfo());
    EXPECT_EQ(b.attachedCoeffs->owner, &f);
    EXPECT_EQ(b.attachedCoeffs->usedChannels, 2);
    EXPECT_EQ(b.attachedCoeffs->getCoeffs(1).getLevelCount(), 9);
    EXPECT_EQ(channel(b, 0), before0);
    // The info is kept while the channel count does not grow.
    WTFilterInfo* info = f.getFilterInfo();
    b.attachedCoeffs = nullptr;
    f.process(b);
    EXPECT_EQ(f.getFilterInfo(), info);
}

TEST(WTForwardFilterTest, ForwardThenInverseRebuildsEveryAlgorithm) {
    for (int algorithm = 0; algorithm < 5; ++algorithm) {
        WTForwardFilter forward;
        WTInverseFilter inverse;
        forward.setParameter(0, 0); // Haar
        forward.setParameter(1, algorithm);
        SampleBuffer b(2, 1024);
        fillSignal(b);
        auto in0 = channel(b, 0), in1 = channel(b, 1);
        forward.process(b);
        // Samples are overwritten by the rebuild, not merely left alone.
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 1024; ++i) b.getBuffer(c)[i] = 5.0f;
        inverse.process(b);
        EXPECT_EQ(b.attachedCoeffs, nullptr);
        auto out0 = channel(b, 0), out1 = channel(b, 1);
        for (int i = 0; i < 1024; ++i) {
            ASSERT_NEAR(out0[static_cast<size_t>(i)], in0[static_cast<size_t>(i)], 1e-6) << algorithm;
            ASSERT_NEAR(out1[static_cast<size_t>(i)], in1[static_cast<size_t>(i)], 1e-6) << algorithm;
        }
    }
}

TEST(WTForwardFilterTest, ShorterWindowIsNotRebuiltAndLongerOnlyForItsStart) {
    WTForwardFilter forward;
    SampleBuffer b(1, 512);
    fillSignal(b);
    b.pushSubset(0, 256);
    forward.process(b);
    b.popSubset();
    // Longer window: the first 256 samples are rebuilt, the rest untouched.
    for (int i = 0; i < 512; ++i) b.getBuffer(0)[i] = 2.0f;
    forward.rebuild(b);
    EXPECT_EQ(b.attachedCoeffs, nullptr);
    EXPECT_NE(b.getBuffer(0)[0], 2.0f);
    EXPECT_EQ(b.getBuffer(0)[256], 2.0f);
    // Shorter window: nothing is read or written, the attachment stays.
    forward.process(b);
    b.pushSubset(0, 100);
    b.getBuffer(0)[0] = 3.0f;
    forward.rebuild(b);
    EXPECT_NE(b.attachedCoeffs, nullptr);
    EXPECT_EQ(b.getBuffer(0)[0], 3.0f);
    b.popSubset();
}

} // namespace
