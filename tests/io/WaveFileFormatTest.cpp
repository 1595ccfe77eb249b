// WaveFileFormat: the "fmt " record in both directions, the values that do
// not fit it, and the codec a format asks for.

#include "io/WaveFileFormat.h"
#include "LogCapture.h"
#include "core/PCMCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace sonabel;
using sonabel::test::LogCapture;

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

TEST(WaveFileFormatTest, OnlyPcmIsAnEncoding) {
    WaveFileFormat f;
    LogCapture log;
    f.setEncoding(ENCODING_PCM);
    EXPECT_TRUE(log.all().empty());
    const char* codes[] = {"NONE", "ulaw", "MP3"};
    for (const char* code : codes) {
        log.clear();
        f.setEncoding(FourCC(code));
        EXPECT_EQ(log.all(), std::vector<std::string>{LogCapture::error(
                                 std::string("WaveFileFormat::setEncoding: wrong encoding \"") + code + "\" !", 1)});
    }
    EXPECT_EQ(f.getEncoding(), ENCODING_PCM);
}

TEST(WaveFileFormatTest, RecordBytesAreLittleEndianInFieldOrder) {
    const uint8_t bytes[16] = {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00,
                               0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00};
    const WaveFormatRecord r = WaveFormatRecord::fromBytes(bytes);
    EXPECT_EQ(r.formatTag, 1);
    EXPECT_EQ(r.channels, 2);
    EXPECT_EQ(r.samplesPerSec, 44100u);
    EXPECT_EQ(r.avgBytesPerSec, 176400u);
    EXPECT_EQ(r.blockAlign, 4);
    EXPECT_EQ(r.bitsPerSample, 16);
    uint8_t back[16] = {};
    r.toBytes(back);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 16), std::vector<uint8_t>(bytes, bytes + 16));
}

TEST(WaveFileFormatTest, ReadsChannelsRateAndBitsOnly) {
    WaveFormatRecord r;
    r.formatTag = 0xFFFE;
    r.channels = 6;
    r.samplesPerSec = 96000;
    r.avgBytesPerSec = 1;
    r.blockAlign = 3;
    r.bitsPerSample = 8;
    WaveFileFormat f;
    f.fromWaveFormat(r);
    EXPECT_EQ(f.channels, 6);
    EXPECT_EQ(f.sampleRate, 96000.0f);
    EXPECT_EQ(f.getBitsPerSample(), 8);
    EXPECT_EQ(f.getBytesPerFrame(), 6) << "from channels and bits, not from the stored block align";
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

TEST(WaveFileFormatTest, CodecFollowsTheFormat) {
    struct {
        int channels, bits;
        bool isSigned;
    } cases[] = {{1, 8, false}, {2, 16, true}, {3, 16, true}};
    for (const auto& c : cases) {
        WaveFileFormat f;
        f.channels = c.channels;
        f.setBitsPerSample(c.bits);
        std::unique_ptr<AudioCodec> codec(getCodecForFormat(f));
        auto* pcm = dynamic_cast<PCMCodec*>(codec.get());
        ASSERT_NE(pcm, nullptr);
        EXPECT_EQ(pcm->bits, c.bits);
        EXPECT_FALSE(pcm->bigEndian);
        EXPECT_EQ(pcm->signedSamples, c.isSigned);
        EXPECT_EQ(pcm->channels, c.channels);
    }
}

} // namespace
