#include "LogCapture.h"
#include "core/PCMCodec.h"
#include "core/SampleBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace sonabel;
using sonabel::test::LogCapture;

namespace {

std::vector<uint8_t> encode(PCMCodec& codec, const std::vector<float>& mono) {
    SampleBuffer b(1, static_cast<int>(mono.size()));
    for (size_t i = 0; i < mono.size(); ++i) b.getBuffer(0)[i] = mono[i];
    std::vector<uint8_t> out(mono.size() * static_cast<size_t>(codec.getFrameSize()), 0xAA);
    codec.encode(b, out.data());
    return out;
}

TEST(PCMCodecTest, Decodes16BitValues) {
    PCMCodec codec(16, false, true, 1);
    const uint8_t bytes[] = {0x00, 0x80, 0xFF, 0x7F, 0x00, 0x00, 0x01, 0x00};
    SampleBuffer b(1, 4);
    codec.decode(bytes, b, 0.0f);
    EXPECT_EQ(b.getBuffer(0)[0], -1.0f);
    EXPECT_EQ(b.getBuffer(0)[1], 0.999969482421875f);
    EXPECT_EQ(b.getBuffer(0)[2], 0.0f);
    EXPECT_EQ(b.getBuffer(0)[3], 1.0f / 32768.0f);
    PCMCodec big(16, true, true, 1);
    const uint8_t beBytes[] = {0x80, 0x00};
    SampleBuffer one(1, 1);
    big.decode(beBytes, one, 0.0f);
    EXPECT_EQ(one.getBuffer(0)[0], -1.0f);
    PCMCodec unsignedCodec(16, false, false, 1);
    const uint8_t u[] = {0x00, 0x80};
    unsignedCodec.decode(u, one, 0.0f);
    EXPECT_EQ(one.getBuffer(0)[0], 0.0f);
}

TEST(PCMCodecTest, Decodes8BitValues) {
    PCMCodec codec(8, false, false, 1);
    const uint8_t bytes[] = {0x00, 0x80, 0xFF};
    SampleBuffer b(1, 3);
    codec.decode(bytes, b, 0.0f);
    EXPECT_EQ(b.getBuffer(0)[0], -1.0f);
    EXPECT_EQ(b.getBuffer(0)[1], 0.0f);
    EXPECT_EQ(b.getBuffer(0)[2], 0.9921875f);
    PCMCodec signedCodec(8, false, true, 1);
    const uint8_t s[] = {0x80, 0x7F};
    SampleBuffer c(1, 2);
    signedCodec.decode(s, c, 0.0f);
    EXPECT_EQ(c.getBuffer(0)[0], -1.0f);
    EXPECT_EQ(c.getBuffer(0)[1], 0.9921875f);
}

TEST(PCMCodecTest, Encodes16BitWithRoundingAndClipping) {
    PCMCodec codec(16, false, true, 1);
    auto out = encode(codec, {1.0f, -1.0f, 0.5f, 0.49999f, 1.5f, -7.0f, 0.0f, -0.5f / 32768.0f});
    auto sample = [&](int i) { return static_cast<int16_t>(out[2 * i] | (out[2 * i + 1] << 8)); };
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0x7F);
    EXPECT_EQ(sample(1), -32768);
    EXPECT_EQ(sample(2), 16384);
    EXPECT_EQ(sample(3), 16384);
    EXPECT_EQ(sample(4), 32767);
    EXPECT_EQ(sample(5), -32768);
    EXPECT_EQ(sample(6), 0);
    EXPECT_EQ(sample(7), 0) << "-0.5 rounds up to 0";
    // Just below half a step: rounding in single precision would give 1.
    auto near = encode(codec, {std::nextafter(0.5f, 0.0f) / 32768.0f, 16383.5f / 32768.0f});
    EXPECT_EQ(near[0] | (near[1] << 8), 0);
    EXPECT_EQ(near[2] | (near[3] << 8), 16384);
    PCMCodec big(16, true, true, 1);
    auto be = encode(big, {-1.0f});
    EXPECT_EQ(be[0], 0x80);
    EXPECT_EQ(be[1], 0x00);
}

TEST(PCMCodecTest, Encodes8BitUnsigned) {
    PCMCodec codec(8, false, false, 1);
    auto out = encode(codec, {1.0f, -1.0f, 0.0f, 0.99f, -2.0f});
    EXPECT_EQ(out, (std::vector<uint8_t>{255, 0, 128, 255, 0}));
}

TEST(PCMCodecTest, RoundTripOfEvery16BitValue) {
    PCMCodec codec(16, false, true, 1);
    std::vector<uint8_t> bytes;
    for (int v = -32768; v <= 32767; ++v) {
        bytes.push_back(static_cast<uint8_t>(v & 0xff));
        bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xff));
    }
    SampleBuffer b(1, 65536);
    codec.decode(bytes.data(), b, 0.0f);
    std::vector<uint8_t> again(bytes.size());
    codec.encode(b, again.data());
    EXPECT_EQ(again, bytes);
}

TEST(PCMCodecTest, ExtraBufferChannelsCopyOrRepeatTheSource) {
    // Mono into stereo: overwrite copies channel 0, mixing adds the source.
    PCMCodec mono(16, false, true, 1);
    const uint8_t m[] = {0x00, 0x40}; // 0.5
    SampleBuffer two(2, 1);
    two.getBuffer(1)[0] = 0.25f;
    mono.decode(m, two, 0.0f);
    EXPECT_EQ(two.getBuffer(1)[0], 0.5f);
    two.getBuffer(1)[0] = 0.25f;
    mono.decode(m, two, 0.5f);
    EXPECT_EQ(two.getBuffer(0)[0], 0.75f);
    EXPECT_EQ(two.getBuffer(1)[0], 0.5f);

    // Stereo into four channels: 0, 1, 0, 0 when overwriting; 0, 1, 0, 1 when adding.
    PCMCodec stereo(16, false, true, 2);
    const uint8_t s[] = {0x00, 0x40, 0x00, 0xC0}; // 0.5, -0.5
    SampleBuffer four(4, 1);
    stereo.decode(s, four, 0.0f);
    const float overwrite[4] = {0.5f, -0.5f, 0.5f, 0.5f};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(four.getBuffer(c)[0], overwrite[c]) << c;
    four.makeSilence(0, 1);
    stereo.decode(s, four, 1.0f);
    const float added[4] = {0.5f, -0.5f, 0.5f, -0.5f};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(four.getBuffer(c)[0], added[c]) << c;
}

TEST(PCMCodecTest, OneChannelBufferFillsEveryOutputChannel) {
    PCMCodec stereo(16, false, true, 2);
    auto out = encode(stereo, {0.5f, -0.25f});
    EXPECT_EQ(out, (std::vector<uint8_t>{0x00, 0x40, 0x00, 0x40, 0x00, 0xE0, 0x00, 0xE0}));
}

TEST(PCMCodecTest, UnsupportedWidthsAndEncodings) {
    LogCapture log;
    EXPECT_EQ(getAudioCodec(ENCODING_NONE, 16, false, true, 2), nullptr);
    EXPECT_TRUE(log.hasError("getAudioCodec: no codec available", 3));
    std::unique_ptr<AudioCodec> codec(getAudioCodec(ENCODING_PCM, 24, false, true, 1));
    ASSERT_NE(codec, nullptr);
    EXPECT_STREQ(codec->getName(), "PCM");
    EXPECT_STREQ(codec->getAuthor(), "Orvanel");
    const uint8_t bytes[15] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    SampleBuffer b(1, 5);
    b.getBuffer(0)[0] = 0.3f;
    codec->decode(bytes, b, 0.0f);
    EXPECT_EQ(log.count("PCM conversion with 24 bits per sample is not supported."), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b.getBuffer(0)[i], 0.0f);
    std::vector<uint8_t> out(15, 0xAA);
    codec->encode(b, out.data());
    EXPECT_EQ(out, std::vector<uint8_t>(15, 0));
}

} // namespace
