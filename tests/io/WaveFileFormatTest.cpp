// WaveFileFormat: the values that do not fit the "fmt " record, frame sizes
// that must not overflow, and what counts as playable. The record's bytes
// are checked through the reader and writer tests.

#include "io/WaveFileFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace sonabel;

namespace {

TEST(WaveFileFormatTest, DefaultsAndFixedProperties) {
    WaveFileFormat f;
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.sampleRate, 44100.0f);
    EXPECT_EQ(f.getBitsPerSample(), 16);
    EXPECT_EQ(f.getFileType(), FourCC("WAVE"));
    EXPECT_STREQ(f.getExtension(), "wav");
    EXPECT_EQ(f.getEncoding(), ENCODING_PCM);
    EXPECT_FALSE(f.isBigEndian());
    struct {
        int bits;
        bool isSigned;
    } cases[] = {{8, false}, {16, true}, {24, true}, {4, true}};
    for (const auto& c : cases) {
        f.setBitsPerSample(c.bits);
        EXPECT_EQ(f.isSigned(), c.isSigned) << c.bits;
    }
    f.channels = 5;
    f.setDefaults();
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.getBitsPerSample(), 16);
}

TEST(WaveFileFormatTest, WritesARecordThatFits) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct {
        int channels;
        float rate;
        int bits;
        uint32_t samplesPerSec, avgBytesPerSec;
        uint16_t blockAlign;
    } cases[] = {
        {2, 44100.0f, 16, 44100, 176400, 4},
        {1, 8000.0f, 8, 8000, 8000, 1},
        {2, 44100.7f, 16, 44100, 176400, 4},
        {3, 48000.0f, 16, 48000, 288000, 6},
        {1, -5.0f, 16, 0, 0, 2},
        {1, nan, 16, 0, 0, 2},
        {2, inf, 16, 0, 0, 4},
        {256, 1e12f, 16, 0xFFFFFFFFu, 0xFFFFFFFFu, 512},
    };
    for (const auto& c : cases) {
        WaveFileFormat f;
        f.channels = c.channels;
        f.sampleRate = c.rate;
        f.setBitsPerSample(c.bits);
        const WaveFormatRecord r = f.toWaveFormat();
        EXPECT_EQ(r.formatTag, 1);
        EXPECT_EQ(r.channels, c.channels);
        EXPECT_EQ(r.samplesPerSec, c.samplesPerSec) << c.rate;
        EXPECT_EQ(r.avgBytesPerSec, c.avgBytesPerSec) << c.rate;
        EXPECT_EQ(r.blockAlign, c.blockAlign);
        EXPECT_EQ(r.bitsPerSample, c.bits);
    }
}

TEST(WaveFileFormatTest, FrameSizeAndSupport) {
    struct {
        int channels, bits, bytesPerFrame;
        bool supported;
    } cases[] = {{2, 16, 4, true},
                 {1, 8, 1, true},
                 {256, 16, 512, true},
                 {257, 16, 514, false},
                 {0, 16, 0, false},
                 {1, 4, 0, false},
                 {3, 4, 1, false},
                 {2, 24, 6, false},
                 {1, 0, 0, false},
                 {-1, 16, 0, false},
                 {65535, 65535, 536854528, false}};
    for (const auto& c : cases) {
        WaveFileFormat f;
        f.channels = c.channels;
        f.setBitsPerSample(c.bits);
        EXPECT_EQ(f.getBytesPerFrame(), c.bytesPerFrame) << c.channels << "x" << c.bits;
        EXPECT_EQ(f.isSupported(), c.supported) << c.channels << "x" << c.bits;
    }
}

} // namespace
