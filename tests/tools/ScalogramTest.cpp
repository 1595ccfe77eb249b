#include "scalogram/Scalogram.h"

#include "LogCapture.h"
#include "wavelet/WaveletTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

using sonabel::Scalogram;
using sonabel::ScalogramSettings;

namespace {

constexpr double rate = 44100.0;
constexpr int length = 65536; // 1.49 s: 15 levels

int waveletIndex(const char* name) {
    for (int i = 0; i < sonabel::WaveletTransform::getWaveletCount(); ++i)
        if (std::strcmp(sonabel::WaveletTransform::getWaveletName(i), name) == 0) return i;
    return -1;
}

// Levels 2 to 10 in nine equal bands of a 200 x 180 picture.
ScalogramSettings bands() {
    ScalogramSettings s;
    s.width = 200;
    s.height = 180;
    s.firstLevel = 1;
    s.levels = 9;
    s.vertical = 1.0;
    s.range = 60.0;
    s.wavelet = waveletIndex("Daubechies 8");
    return s;
}

// A sine of that frequency and amplitude over samples [from, to).
void addTone(std::vector<float>& samples, double frequency, double amplitude, int from, int to) {
    for (int i = from; i < to; ++i)
        samples[static_cast<size_t>(i)] +=
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / rate));
}

// Mean index over a band's rows and the columns [left, right).
double bandMean(const Scalogram& s, int band, int left, int right) {
    double sum = 0.0;
    int cells = 0;
    for (int y = s.getBandTop(band); y < s.getBandBottom(band); ++y)
        for (int x = left; x < right; ++x, ++cells)
            sum += s.getIndexes()[static_cast<size_t>(y) * static_cast<size_t>(s.getWidth()) + static_cast<size_t>(x)];
    return cells ? sum / cells : -1.0;
}

int loudestBand(const Scalogram& s) {
    int best = 0;
    for (int band = 1; band < s.getLevelCount(); ++band)
        if (bandMean(s, band, 0, s.getWidth()) > bandMean(s, best, 0, s.getWidth())) best = band;
    return best;
}

} // namespace

// A tone lights the band of the level whose octave holds it: detail level j
// covers rate / 2^(j+1) to rate / 2^j, and the finer levels lie above. The
// bands tile the picture from row 0 down without gaps.
TEST(ScalogramTest, ToneLightsTheBandOfItsOctave) {
    ASSERT_GE(bands().wavelet, 0);
    for (int level : {2, 3, 5, 8, 10}) {
        const double frequency = rate / std::pow(2.0, level + 0.5);
        std::vector<float> samples(length, 0.0f);
        addTone(samples, frequency, 0.5, 0, length);
        Scalogram s(bands());
        ASSERT_TRUE(s.compute(samples.data(), length));
        ASSERT_EQ(s.getLevelCount(), 9);
        EXPECT_EQ(s.getBandTop(0), 0);
        EXPECT_EQ(s.getBandBottom(8), s.getHeight());
        for (int band = 1; band < 9; ++band) EXPECT_EQ(s.getBandTop(band), s.getBandBottom(band - 1));
        EXPECT_EQ(loudestBand(s), level - 2) << frequency << " Hz";
        // Within 12 dB of the loudest cell on average (the coarse levels
        // have few coefficients, which swing with the tone's phase), and
        // clearly above the octaves beside it.
        const double lit = bandMean(s, level - 2, 0, s.getWidth());
        EXPECT_GT(lit, 200.0) << frequency << " Hz";
        for (int side : {level - 3, level - 1}) {
            if (side >= 0 && side < s.getLevelCount()) {
                EXPECT_LT(bandMean(s, side, 0, s.getWidth()), lit - 20.0) << frequency << " Hz, band " << side;
            }
        }
    }
}

// Time runs left to right, and the index is the cell's level in decibels:
// -30 dB over a 60 dB range lands half way.
TEST(ScalogramTest, ColumnsFollowTimeAndIndexesFollowDecibels) {
    std::vector<float> samples(length, 0.0f);
    const double frequency = rate / std::pow(2.0, 5.5);
    addTone(samples, frequency, 0.5, 0, length / 2);
    addTone(samples, frequency, 0.5 * std::pow(10.0, -30.0 / 20.0), length / 2, length);
    Scalogram s(bands());
    ASSERT_TRUE(s.compute(samples.data(), length));
    const int w = s.getWidth(), band = 3; // level 5
    EXPECT_NEAR(bandMean(s, band, 10, w / 2 - 10), 255.0, 3.0);
    EXPECT_NEAR(bandMean(s, band, w / 2 + 10, w - 10), 127.5, 6.0);

    std::vector<float> halfSilent(length, 0.0f);
    addTone(halfSilent, frequency, 0.5, 0, length / 2);
    Scalogram t(bands());
    ASSERT_TRUE(t.compute(halfSilent.data(), length));
    EXPECT_GT(bandMean(t, band, 10, w / 2 - 10), 250.0);
    EXPECT_EQ(bandMean(t, band, w / 2 + 10, w), 0.0);
}

// Too short a sound, and more levels than the sound has, are handled with a
// message where something was left out.
TEST(ScalogramTest, ShortSounds) {
    sonabel::test::LogCapture log;
    std::vector<float> silence(4, 0.0f);
    Scalogram tooShort(bands());
    EXPECT_FALSE(tooShort.compute(silence.data(), 3));
    EXPECT_TRUE(tooShort.getIndexes().empty());
    EXPECT_TRUE(log.hasError("Scalogram::compute: nothing to show (3 samples, 200 x 180 pixels)", 2));

    // 1024 samples give levels 1 to 9; levels 2 to 10 were asked for.
    std::vector<float> shortTone(1024, 0.0f);
    addTone(shortTone, 1000.0, 0.5, 0, 1024);
    Scalogram fewer(bands());
    ASSERT_TRUE(fewer.compute(shortTone.data(), 1024));
    EXPECT_EQ(fewer.getLevelCount(), 8);
    EXPECT_EQ(fewer.getBandBottom(7), 180);
    EXPECT_TRUE(log.hasError("Scalogram::compute: 1024 samples give levels 1 to 9, not 2 to 10", 3));
}
