#include "LogCapture.h"
#include "core/SampleBuffer.h"

#include <gtest/gtest.h>

using namespace sonabel;
using sonabel::test::LogCapture;

namespace {

void ramp(SampleBuffer& b) {
    for (int c = 0; c < b.channelCount; ++c)
        for (int i = 0; i < b.currCount; ++i) b.getBuffer(c)[i] = static_cast<float>(c * 1000 + i);
}

TEST(SampleBufferTest, NewBufferIsSilent) {
    SampleBuffer b(2, 512);
    EXPECT_EQ(b.capacity, 512);
    EXPECT_EQ(b.currCount, 512);
    EXPECT_EQ(b.chunkCounter, 0);
    EXPECT_EQ(b.attachedCoeffs, nullptr);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 512; ++i) ASSERT_EQ(b.getBuffer(c)[i], 0.0f);
}

TEST(SampleBufferTest, NestedSubsetsRestoreExactly) {
    SampleBuffer b(1, 100);
    b.pushSubset(10, 20);
    EXPECT_EQ(b.currStart, 10);
    EXPECT_EQ(b.currCount, 20);
    b.pushSubset(5, 5);
    EXPECT_EQ(b.currStart, 15);
    EXPECT_EQ(b.currCount, 5);
    b.getBuffer(0)[0] = 7.0f;
    b.popSubset();
    EXPECT_EQ(b.currStart, 10);
    b.popSubset();
    EXPECT_EQ(b.currStart, 0);
    EXPECT_EQ(b.currCount, 100);
    EXPECT_EQ(b.getBuffer(0)[15], 7.0f);
}

TEST(SampleBufferTest, OutOfBoundsPushIsClampedAndStillBalanced) {
    LogCapture log;
    SampleBuffer b(1, 100);
    b.pushSubset(90, 20);
    EXPECT_TRUE(log.hasError("SampleBuffer::pushSubset(90, 20): parameters out of bounds. currStart=0, currCount=100", 2));
    EXPECT_EQ(b.currStart, 0);
    EXPECT_EQ(b.currCount, 20);
    b.pushSubset(0, 500);
    EXPECT_EQ(b.currCount, 20) << "a count beyond the window is reduced to it";
    b.popSubset();
    b.popSubset();
    EXPECT_EQ(b.currCount, 100);
    b.pushSubset(-1, 3);
    EXPECT_EQ(b.currStart, 0);
    EXPECT_EQ(b.currCount, 3);
    b.clearSubsets();
    EXPECT_EQ(b.currCount, 100);
    EXPECT_EQ(b.getSubsetDepth(), 0);
}

TEST(SampleBufferTest, PopOnEmptyStackChangesNothing) {
    LogCapture log;
    SampleBuffer b(1, 100);
    b.popSubset();
    EXPECT_TRUE(log.hasError("SampleBuffer::popSubset() stack is already empty.", 2));
    EXPECT_EQ(b.currStart, 0);
    EXPECT_EQ(b.currCount, 100);
}

TEST(SampleBufferTest, MakeSilenceChecksItsWindow) {
    LogCapture log;
    SampleBuffer b(2, 100);
    ramp(b);
    b.pushSubset(10, 50);
    b.makeSilence(1, 50);
    EXPECT_TRUE(log.hasError("Wrong parameters to SampleBuffer::makeSilence(11, 50): currStart=10, currCount=50.", 2));
    EXPECT_EQ(b.getBuffer(1)[1], 1011.0f) << "a rejected request leaves the samples";
    b.makeSilence(0, 50);
    b.popSubset();
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(b.getBuffer(c)[9], c * 1000 + 9.0f);
        EXPECT_EQ(b.getBuffer(c)[10], 0.0f);
        EXPECT_EQ(b.getBuffer(c)[59], 0.0f);
        EXPECT_EQ(b.getBuffer(c)[60], c * 1000 + 60.0f);
    }
}

TEST(SampleBufferTest, BadChannelFallsBackToChannelZero) {
    LogCapture log;
    SampleBuffer b(2, 16);
    EXPECT_EQ(b.getBuffer(2), b.getBuffer(0));
    EXPECT_TRUE(log.hasError("Wrong parameters to SampleBuffer::getBuffer(2): channelCount=2.", 2));
    EXPECT_EQ(b.getBuffer(-1), b.getBuffer(0));
}

TEST(SampleBufferTest, SetSizeReallocatesOnlyWhenOutgrown) {
    SampleBuffer b(2, 100);
    float* before = b.getBuffer(0);
    b.setSize(50, 1);
    EXPECT_EQ(b.getBuffer(0), before);
    EXPECT_EQ(b.channelCount, 1);
    EXPECT_EQ(b.allocatedChannels, 2);
    b.setSize(100, 2);
    EXPECT_EQ(b.getBuffer(0), before);
    b.setSize(101, 2);
    EXPECT_EQ(b.capacity, 101);
    EXPECT_EQ(b.currCount, 101);
    b.setSize(101, 3);
    EXPECT_EQ(b.allocatedChannels, 3);
    b.fixedChannels = true;
    b.setSize(10, 6);
    EXPECT_EQ(b.channelCount, 3);
}

TEST(SampleBufferTest, SetSizeInsideASubsetKeepsTheArraysBigEnough) {
    SampleBuffer b(1, 100);
    b.pushSubset(80, 20);
    b.setSize(60, 1); // would reach past the end of the arrays
    EXPECT_GE(b.capacity, b.currStart + b.currCount);
    for (int i = 0; i < 60; ++i) b.getBuffer(0)[i] = 1.0f; // ASan would catch an overrun
}

TEST(SampleBufferTest, CopyFromRepeatsOrDropsChannelsWhenFixed) {
    SampleBuffer src(2, 8);
    ramp(src);
    src.pushSubset(2, 4);
    SampleBuffer mono(1, 1);
    mono.fixedChannels = true;
    mono.copyFrom(src);
    EXPECT_EQ(mono.channelCount, 1);
    EXPECT_EQ(mono.currCount, 4);
    EXPECT_EQ(mono.getBuffer(0)[0], 2.0f);
    SampleBuffer four(4, 1);
    four.fixedChannels = true;
    four.copyFrom(src);
    const float firsts[4] = {2.0f, 1002.0f, 2.0f, 1002.0f};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(four.getBuffer(c)[0], firsts[c]);
    SampleBuffer free(1, 1);
    free.chunkCounter = 5;
    free.copyFrom(src);
    EXPECT_EQ(free.channelCount, 2);
    EXPECT_EQ(free.currStart, 0);
    EXPECT_EQ(free.chunkCounter, 5) << "the counter is not copied";
}

TEST(SampleBufferTest, CopyChannel) {
    SampleBuffer b(3, 10);
    ramp(b);
    b.copyChannel(2, 0);
    EXPECT_EQ(b.getBuffer(0)[3], 2003.0f);
}

} // namespace
