#include "LogCapture.h"
#include "TimeDomainTestDoubles.h"
#include "core/SampleBuffer.h"
#include "filters/NoiseFilter.h"
#include "filters/RandomGenerator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;
using namespace sonabel::tdtest;

namespace {

// The generator written out again from its definition, for comparison.
struct ModelGenerator {
    uint64_t state = 1;
    int next() {
        state = (state * 214013 + 2531011) % 4294967296ULL;
        return static_cast<int>((state / 65536) % 32768);
    }
};

// A fresh program's generator state, before each test.
class NoiseFilterTest : public ::testing::Test {
protected:
    void SetUp() override { RandomGenerator::shared().reset(); }
    void TearDown() override { RandomGenerator::shared().reset(); }
};

std::vector<float> noiseOf(NoiseFilter& f, int channels, int samples) {
    SampleBuffer b(channels, samples);
    b.makeSilence(0, samples);
    f.process(b);
    std::vector<float> out;
    for (int c = 0; c < channels; ++c) out.insert(out.end(), b.getBuffer(c), b.getBuffer(c) + samples);
    return out;
}

double variance(const std::vector<float>& v) {
    double sum = 0.0, squares = 0.0;
    for (float x : v) sum += x, squares += static_cast<double>(x) * x;
    double mean = sum / static_cast<double>(v.size());
    return squares / static_cast<double>(v.size()) - mean * mean;
}

TEST_F(NoiseFilterTest, ParameterTableAndTexts) {
    NoiseFilter f;
    EXPECT_STREQ(f.getName(), "Noise generator");
    EXPECT_STREQ(f.getDescription(), "Generate white noise for testing with the denoiser.");
    ASSERT_EQ(f.getParameterCount(), 2);
    EXPECT_STREQ(f.getParameterInfo(0)->name, "Volume");
    EXPECT_EQ(f.getParameterInfo(0)->max, 200);
    EXPECT_EQ(f.getParameterInfo(0)->type, PARAM_SLIDER);
    EXPECT_STREQ(f.getParameterInfo(1)->name, "Type");
    EXPECT_EQ(f.getParameterInfo(1)->max, 1);
    EXPECT_EQ(f.getParameterInfo(1)->type, PARAM_CHOICE);
    EXPECT_EQ(f.getParameter(0), 10);
    EXPECT_EQ(f.getParameter(1), 0);

    struct Row {
        int index, value;
        const char* text;
    };
    const Row rows[] = {
        {0, 10, "-64.0 dB (0.0006 linear)"}, {0, 1, "-67.0 dB (0.0004 linear)"},
        {0, 200, "-0.6 dB (0.9297 linear)"}, {0, 0, "-inf dB"},
        {0, 300, "-0.6 dB (0.9297 linear)"}, {1, 0, "Uniform white noise"},
        {1, 1, "Gaussian white noise"},      {1, 5, "Gaussian white noise"},
    };
    for (const Row& r : rows) {
        f.setParameter(r.index, r.value);
        EXPECT_EQ(textOf(f, r.index), r.text) << r.index << " = " << r.value;
    }
}

TEST_F(NoiseFilterTest, OutOfRangeIndices) {
    LogCapture log;
    NoiseFilter f;
    RecordingListener listener;
    f.listener = &listener;
    EXPECT_EQ(f.getParameterInfo(2), nullptr);
    EXPECT_TRUE(log.hasError("NoiseFilter::getParameterInfo(2): out of range.", 2));
    f.setParameter(5, 1);
    EXPECT_TRUE(log.hasError("NoiseFilter::setParameter(5, 1): number out of range.", 2));
    EXPECT_TRUE(listener.calls.empty());
    f.setParameter(0, 250);
    EXPECT_EQ(listener.calls, (std::vector<ListenerCall>{{"text", 0}}));
}

TEST_F(NoiseFilterTest, UniformNoiseFollowsTheGeneratorDrawForDraw) {
    NoiseFilter f;
    f.setParameter(0, 200);
    const double amp = f.getAmplitude();
    ModelGenerator model;
    // Two channels of 5000: channel 0 takes the first 5000 draws.
    std::vector<float> noise = noiseOf(f, 2, 5000);
    ASSERT_EQ(noise.size(), 10000u);
    for (size_t i = 0; i < noise.size(); ++i) {
        int r = model.next();
        if (i == 0) {
            ASSERT_EQ(r, 41);
        }
        float want = static_cast<float>(0.0f + (r / 16383.5 - 1.0) * amp);
        ASSERT_EQ(noise[i], want) << "draw " << i;
    }
}

TEST_F(NoiseFilterTest, SilentVolumeLeavesTheSignalButStillDraws) {
    NoiseFilter f;
    f.setParameter(0, 0);
    SampleBuffer b(1, 5);
    for (int i = 0; i < 5; ++i) b.getBuffer(0)[i] = 0.1f * i;
    f.process(b);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b.getBuffer(0)[i], 0.1f * i);
    ModelGenerator model;
    for (int i = 0; i < 5; ++i) model.next();
    EXPECT_EQ(RandomGenerator::shared().next(), model.next());
}

TEST_F(NoiseFilterTest, VariancesOverAMillionSamples) {
    for (int type : {0, 1}) {
        NoiseFilter f;
        f.setParameter(0, 170);
        f.setParameter(1, type);
        double amp = f.getAmplitude();
        std::vector<float> noise = noiseOf(f, 2, 500000);
        double want = type == 0 ? amp * amp / 3.0 : amp * amp;
        double got = variance(noise);
        EXPECT_NEAR(got / want, 1.0, 0.01) << (type == 0 ? "uniform" : "Gaussian") << ": variance " << got
                                          << ", expected " << want;
        RecordProperty(type == 0 ? "uniformVarianceRatio" : "gaussianVarianceRatio", std::to_string(got / want));
    }
}

TEST_F(NoiseFilterTest, GaussianSpareCarriesOverBetweenChunksAndFilters) {
    // The pairs the shared generator makes, taken straight from it.
    RandomGenerator& shared = RandomGenerator::shared();
    float pair[4];
    for (float& g : pair) g = shared.nextGaussian();
    shared.reset();

    NoiseFilter a, b;
    for (NoiseFilter* f : {&a, &b}) {
        f->setParameter(0, 200);
        f->setParameter(1, 1);
    }
    const double amp = a.getAmplitude();
    std::vector<float> first = noiseOf(a, 1, 1);
    EXPECT_TRUE(shared.hasSpare());
    std::vector<float> second = noiseOf(b, 1, 1); // another filter takes the spare
    EXPECT_FALSE(shared.hasSpare());
    std::vector<float> rest = noiseOf(a, 1, 2);
    EXPECT_EQ(first[0], static_cast<float>(0.0f + pair[0] * amp));
    EXPECT_EQ(second[0], static_cast<float>(0.0f + pair[1] * amp));
    EXPECT_EQ(rest[0], static_cast<float>(0.0f + pair[2] * amp));
    EXPECT_EQ(rest[1], static_cast<float>(0.0f + pair[3] * amp));
    EXPECT_NE(pair[0], pair[1]);
}

} // namespace
