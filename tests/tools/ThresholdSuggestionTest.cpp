// The threshold suggestion: the noise estimate on signals whose noise is
// known, the step it resolves to through the denoiser's value texts, and the
// command line around it. The exact figures against numpy and PyWavelets are
// checked by threshold_oracle.py.

#include "WaveTestSupport.h"
#include "core/AudioFormat.h"
#include "filters/FilterCatalogue.h"
#include "io/WaveFileWriter.h"
#include "render/ThresholdSuggestion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

using namespace sonabel;
using namespace sonabel::test;

namespace {

const FilterFactory catalogue{getFilterCount, createFilter};

// Gaussian noise of standard deviation sigma under a sine of the given
// amplitude (frequency in cycles per sample).
std::vector<float> noisySine(size_t n, double sigma, double amplitude, double frequency, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = static_cast<float>(amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(i)) + gauss(random));
    return x;
}

struct NoiseCase {
    const char* name; // the test's
    const char* what;
    int wavelet; // the "Wavelet" step
    double sigma;
    double amplitude; // of a low sine the estimate must look past
    int channels;
};

void PrintTo(const NoiseCase& c, std::ostream* os) { *os << c.what; }

class NoiseLevelTest : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(NoiseLevelTest, FindsTheNoiseUnderTheSignal) {
    const NoiseCase& c = GetParam();
    ThresholdSuggestion::Channels channels;
    for (int k = 0; k < c.channels; ++k)
        channels.push_back(noisySine(200000, c.sigma, c.amplitude, 0.004 + 0.001 * k, 7u + static_cast<unsigned>(k)));
    const double sigma = ThresholdSuggestion::noiseLevel(channels, c.wavelet);
    // The median of 100000 |N(0,1)| draws scatters by about 0.5 %; a sine
    // at 0.004 cycles per sample leaves the finest details nearly alone.
    EXPECT_NEAR(sigma, c.sigma, 0.03 * c.sigma) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Wavelets, NoiseLevelTest,
    ::testing::Values(NoiseCase{"Haar", "Haar, noise alone", 0, 0.01, 0.0, 1},
                      NoiseCase{"Db8", "Daubechies 8 under a loud sine", 7, 0.01, 0.7, 1},
                      NoiseCase{"Sym8", "Symlets 8, quiet noise, two channels", 12, 1e-4, 0.3, 2},
                      NoiseCase{"Db15", "Daubechies 15, loud noise under a sine", 10, 0.1, 0.5, 2},
                      NoiseCase{"BattleLemarie49", "Battle-Lemarie 49 (the longest filter)", 29, 0.02, 0.5, 1}),
    [](const ::testing::TestParamInfo<NoiseCase>& test) { return std::string(test.param.name); });

TEST(ThresholdSuggestionTest, NothingToMeasureGivesNoNoise) {
    // Daubechies 8 has 16 taps: 15 samples hold no whole detail.
    const struct {
        const char* what;
        ThresholdSuggestion::Channels channels;
        int wavelet;
    } cases[] = {
        {"no channels", {}, 7},
        {"empty channels", {{}, {}}, 7},
        {"shorter than the filter", {std::vector<float>(15, 0.5f)}, 7},
        {"silence", {std::vector<float>(4096, 0.0f)}, 7},
        {"a constant (no details)", {std::vector<float>(4096, 0.25f)}, 0},
        {"wavelet out of range", {noisySine(4096, 0.1, 0.0, 0.0, 1)}, 33},
        {"negative wavelet", {noisySine(4096, 0.1, 0.0, 0.0, 1)}, -1},
    };
    for (const auto& c : cases) EXPECT_NEAR(ThresholdSuggestion::noiseLevel(c.channels, c.wavelet), 0.0, 1e-7) << c.what;
    // One whole detail is enough.
    EXPECT_GT(ThresholdSuggestion::noiseLevel({noisySine(16, 0.1, 0.0, 0.0, 3)}, 7), 0.0);
}

TEST(ThresholdSuggestionTest, ThresholdTakesTheStepThatShowsIt) {
    const struct {
        double threshold; // linear
        int step;
        const char* text;
        bool beyond;
    } cases[] = {
        {0.0, 0, "-inf db threshold (0 linear)", false},
        {std::pow(10.0, -20.5 / 20.0), 100, "-20.5 db threshold (0.094 linear)", false},
        // -15.6 dB lies nearer -15.5 than -16.0.
        {std::pow(10.0, -15.6 / 20.0), 110, "-15.5 db threshold (0.168 linear)", false},
        {std::pow(10.0, -15.8 / 20.0), 109, "-16.0 db threshold (0.158 linear)", false},
        {1.0, 141, "0.0 db threshold (1.000 linear)", false},
        // Quieter than the first step, louder than the last.
        {1e-6, 1, "-70.0 db threshold (0.000 linear)", true},
        {100.0, 200, "29.5 db threshold (29.854 linear)", true},
    };
    ThresholdSuggestion suggestion(catalogue);
    for (const auto& c : cases) {
        ChainSetting setting;
        std::string error;
        ASSERT_TRUE(suggestion.resolveStep(c.threshold, setting, error)) << c.threshold << ": " << error;
        EXPECT_EQ(setting.step, c.step) << c.threshold;
        EXPECT_EQ(setting.text, c.text) << c.threshold;
        EXPECT_EQ(setting.beyondRange, c.beyond) << c.threshold;
    }
}

class SuggestCommandTest : public WaveDirTest {
protected:
    int run(std::vector<std::string> args) {
        std::vector<char*> argv{const_cast<char*>("sonabel-render")};
        for (auto& a : args) argv.push_back(a.data());
        out.str("");
        err.str("");
        ThresholdSuggestion suggestion(catalogue);
        return suggestion.run(static_cast<int>(argv.size()), argv.data(), out, err);
    }
    void writeNoise(const std::string& name, double sigma) {
        const std::vector<float> x = noisySine(44100, sigma, 0.0, 0.0, 5);
        WaveFileWriter writer;
        writer.setFileName(path(name).c_str());
        writer.setAudioFormat(AudioFormat(1, 44100.0f));
        writer.setBitsPerSample(16);
        writer.open();
        SampleBuffer buffer(1, static_cast<int>(x.size()));
        std::copy(x.begin(), x.end(), buffer.getBuffer(0));
        writer.write(buffer);
        writer.close();
    }
    std::ostringstream out, err;
};

TEST_F(SuggestCommandTest, UsageAndFiles) {
    writeNoise("noisy.wav", 0.01);
    {
        std::ofstream chain(path("denoise.chain"));
        chain << "Forward | Wavelet = db8   # the chain's wavelet\nDenoiser | Type = Hard\nInverse\n";
    }
    const std::string forward = "Forward | Wavelet = db8";
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message; // on stderr
    } cases[] = {
        {{"--suggest-threshold", "-f", forward, "-f", "Denoiser", "-f", "Inverse", "noisy.wav"}, 0, ""},
        {{"-c", "denoise.chain", "noisy.wav", "--suggest-threshold", "-q"}, 0, ""},
        {{"--suggest-threshold", "--chain=denoise.chain", "noisy.wav"}, 0, ""},
        {{"--suggest-threshold", "-c", "denoise.chain"}, 2, "--suggest-threshold needs INPUT (try --help)"},
        {{"--suggest-threshold", "-c", "denoise.chain", "noisy.wav", "out.wav"},
         2,
         "--suggest-threshold takes one INPUT and writes no output, but out.wav follows noisy.wav"},
        {{"--suggest-threshold", "--bits", "16", "noisy.wav"}, 2, "takes -c FILE, -f LINE and INPUT only, not --bits"},
        {{"--suggest-threshold", "noisy.wav", "-c"}, 2, "option -c needs a value"},
        {{"--suggest-threshold", "-f", "Denoiser", "-f", forward, "noisy.wav"},
         2,
         "needs a chain with a \"Wavelet Denoiser\" after a \"Forward Wavelet Transform\""},
        {{"--suggest-threshold", "noisy.wav"}, 2, "needs a chain with"},
        {{"--suggest-threshold", "-f", "Denoiser | Threshold = loud", "noisy.wav"}, 2, "--filter 'Denoiser | Threshold = loud': "},
        {{"--suggest-threshold", "-c", "missing.chain", "noisy.wav"},
         2,
         "cannot read the chain file missing.chain: No such file or directory"},
        {{"--suggest-threshold", "-c", "denoise.chain", "missing.wav"}, 1, "missing.wav"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        EXPECT_EQ(run(c.args), c.status) << line << "\n" << err.str();
        EXPECT_NE(err.str().find(c.message), std::string::npos) << line << "\n" << err.str();
        if (c.status == 0) {
            // 0.01 white noise over 44100 frames: T = 0.0462, -26.7 dB, step 88.
            EXPECT_NE(out.str().find("\nThreshold = 88   # -26.5 db threshold (0.047 linear)\n"), std::string::npos)
                << line << "\n" << out.str();
            EXPECT_EQ(err.str(), "") << line;
        } else {
            EXPECT_EQ(out.str(), "") << line;
        }
    }
    // The chain file itself is left alone: only its wavelet is read.
    std::ifstream chain(path("denoise.chain"));
    std::string first;
    std::getline(chain, first);
    EXPECT_EQ(first, "Forward | Wavelet = db8   # the chain's wavelet");
}

} // namespace
