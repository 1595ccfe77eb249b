// The difference listener pair: DifferenceBeginFilter keeps a copy, and
// DifferenceEndFilter subtracts it.
#include "LogCapture.h"
#include "TimeDomainTestDoubles.h"
#include "core/SampleBuffer.h"
#include "filters/DifferenceBeginFilter.h"
#include "filters/DifferenceCopy.h"
#include "filters/DifferenceEndFilter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sonabel;
using namespace sonabel::test;
using namespace sonabel::tdtest;

namespace {

class DifferenceEndFilterTest : public ::testing::Test {
protected:
    void SetUp() override { DifferenceCopy::shared().pending = false; }
    void TearDown() override { DifferenceCopy::shared().pending = false; }

    // A two-channel chunk: channel c holds base + c + i/100.
    static void fill(SampleBuffer& b, float base) {
        for (int c = 0; c < b.channelCount; ++c)
            for (int i = 0; i < b.currCount; ++i) b.getBuffer(c)[i] = base + static_cast<float>(c) + 0.01f * i;
    }
    static void scale(SampleBuffer& b, float factor) {
        for (int c = 0; c < b.channelCount; ++c)
            for (int i = 0; i < b.currCount; ++i) b.getBuffer(c)[i] *= factor;
    }
};

TEST_F(DifferenceEndFilterTest, DescriptorsAndParameter) {
    DifferenceBeginFilter begin;
    DifferenceEndFilter end;
    EXPECT_STREQ(begin.getName(), "Difference listener begin");
    EXPECT_STREQ(begin.getDescription(), "Put this before filters to be analysed. After them, put a Difference listener "
                                         "end filter to hear the difference.");
    EXPECT_STREQ(end.getName(), "Difference listener end");
    EXPECT_STREQ(end.getDescription(),
                 "Put this after the to-be analysed filters. It lets you listen to the difference signal.");
    EXPECT_EQ(begin.getParameterCount(), 0);
    EXPECT_EQ(begin.getParameterInfo(0), nullptr);
    EXPECT_EQ(textOf(begin, 0), "");

    ASSERT_EQ(end.getParameterCount(), 1);
    EXPECT_STREQ(end.getParameterInfo(0)->name, "Listen to difference signal");
    EXPECT_EQ(end.getParameterInfo(0)->type, PARAM_CHECKBOX);
    EXPECT_EQ(end.getParameter(0), 1);
    EXPECT_EQ(textOf(end, 0), "Difference");
    end.setParameter(0, -4);
    EXPECT_EQ(textOf(end, 0), "Bypass");
    end.setParameter(0, 9);
    EXPECT_EQ(end.getParameter(0), 1);

    LogCapture log;
    EXPECT_EQ(end.getParameterInfo(1), nullptr);
    EXPECT_TRUE(log.hasError("DifferenceEndFilter::getParameterInfo(1): out of range.", 2));
    end.setParameter(1, 0);
    EXPECT_TRUE(log.hasError("DifferenceEndFilter::setParameter(1, 0): number out of range.", 2));
}

TEST_F(DifferenceEndFilterTest, HearsWhatTheFiltersBetweenChanged) {
    DifferenceBeginFilter begin;
    DifferenceEndFilter end;
    SampleBuffer b(2, 64), want(2, 64);
    fill(b, 0.5f);
    fill(want, 0.5f);
    begin.process(b);
    scale(b, 0.25f); // the filter under test takes away three quarters
    end.process(b);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 64; ++i) ASSERT_FLOAT_EQ(b.getBuffer(c)[i], -0.75f * want.getBuffer(c)[i]);
    EXPECT_FALSE(DifferenceCopy::shared().pending);
}

TEST_F(DifferenceEndFilterTest, NothingBetweenGivesSilenceOrTheInput) {
    for (int mode : {1, 0}) {
        DifferenceBeginFilter begin;
        DifferenceEndFilter end, second;
        end.setParameter(0, mode);
        SampleBuffer b(2, 32), want(2, 32);
        fill(b, 0.2f);
        fill(want, 0.2f);
        begin.process(b);
        end.process(b);
        second.process(b); // a second end filter finds no copy waiting
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 32; ++i)
                ASSERT_EQ(b.getBuffer(c)[i], mode ? 0.0f : want.getBuffer(c)[i]) << "mode " << mode;
        EXPECT_FALSE(DifferenceCopy::shared().pending);
    }
}

TEST_F(DifferenceEndFilterTest, EndBeforeBeginSubtractsThePreviousChunk) {
    DifferenceEndFilter end;
    DifferenceBeginFilter begin;
    std::vector<float> out;
    for (int chunk = 0; chunk < 3; ++chunk) {
        SampleBuffer b(1, 4);
        for (int i = 0; i < 4; ++i) b.getBuffer(0)[i] = static_cast<float>(chunk * 10 + i);
        end.process(b);
        out.push_back(b.getBuffer(0)[1]);
        // begin copies what reached it, which the end filter already changed
        begin.process(b);
    }
    // chunk 0 passes (1); chunk 1: 11 - 1 = 10; chunk 2: 21 - 10 = 11.
    EXPECT_EQ(out, (std::vector<float>{1.0f, 10.0f, 11.0f}));
}

TEST_F(DifferenceEndFilterTest, ACopyNarrowerOrShorterThanTheChunk) {
    // A one-channel copy is subtracted from every channel; a shorter copy
    // only from the samples it covers.
    DifferenceBeginFilter begin;
    DifferenceEndFilter end;
    SampleBuffer mono(1, 8);
    for (int i = 0; i < 8; ++i) mono.getBuffer(0)[i] = 1.0f;
    mono.pushSubset(0, 5);
    begin.process(mono);
    SampleBuffer b(3, 8);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 8; ++i) b.getBuffer(c)[i] = 4.0f;
    end.process(b);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 8; ++i) ASSERT_EQ(b.getBuffer(c)[i], i < 5 ? 3.0f : 4.0f) << c << "," << i;
}

} // namespace
