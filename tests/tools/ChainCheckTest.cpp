// The warnings about chains that do not do what they read as, with the real
// filters: each chain, written as command-line filters, and what is said.

#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"
#include "render/ChainCheck.h"

#include <gtest/gtest.h>

#include <memory>

using namespace sonabel;

namespace {

TEST(ChainCheckTest, WarnsAboutChainsThatDoNotWorkAsTheyRead) {
    const FilterChainFile file(FilterFactory{getFilterCount, createFilter});
    struct Case {
        std::vector<const char*> lines;
        std::vector<std::string> warnings;
    } cases[] = {
        {{"Forward", "Denoiser | Threshold = -30 dB", "Inverse"}, {}},
        {{"Forward | Wavelet = db8 | Algorithm = periodization", "Equalizer", "Inverse"}, {}},
        {{"Denoiser", "Forward", "Inverse"},
         {"\"Wavelet Denoiser\" (filter 1) works on wavelet coefficients but has no forward transform before it; it "
          "does nothing"}},
        {{"Inverse"}, {"\"Inverse Wavelet Transform\" (filter 1) has no forward transform before it and does nothing"}},
        {{"Forward", "Denoiser"},
         {"\"Forward Wavelet Transform\" (filter 1) has no inverse transform after it: what is done to the "
          "coefficients never reaches the output"}},
        {{"Forward | Active = no", "Denoiser | Active = no", "Delay"}, {}},
        {{"Forward", "Forward", "Inverse"},
         {"\"Forward Wavelet Transform\" (filter 2) follows \"Forward Wavelet Transform\" (filter 1) with no inverse "
          "transform between them"}},
        {{"Forward | Wavelet = bior3.9 | Algorithm = periodization", "Inverse"},
         {"\"Forward Wavelet Transform\" (filter 1): \"Numerical Recipes (wrap)\" with the biorthogonal \"Biorthogonal "
          "3/9\" does not rebuild the signal (the wrap inverts by the transpose, which only an orthogonal wavelet "
          "allows); choose another algorithm or wavelet"}},
        {{"Forward", "Denoiser | Type = Dynamic | Threshold = 100", "Inverse"},
         {"\"Wavelet Denoiser\" (filter 2): \"Threshold\" is ignored under \"Dynamic Thresholding\""}},
        {{"Forward | Algorithm = periodization", "Denoiser | Denoise also = no", "Inverse"},
         {"\"Wavelet Denoiser\" (filter 2): \"Denoise also padding coefficients\" is ignored under \"Numerical "
          "Recipes (wrap)\", which has no padding"}},
        {{"Forward", "Wavelet Display", "Inverse", "Time domain | Show window = no"},
         {"\"Wavelet Display\" (filter 2) is a display and shows nothing in the renderer",
          "\"Time domain Display\" (filter 4) is a display and shows nothing in the renderer"}},
        {{"Forward", "Denoiser | Number of scales = 4", "Inverse"},
         {"\"Wavelet Denoiser\" (filter 2): \"Number of scales = 4\" is step 4, \"Denoise up to details level 5\"; "
          "for level 4 write \"level 4\""}},
        {{"Forward", "Denoiser | Number of scales = level 4", "Display Wavelet | Scale = 0", "Inverse"}, {}},
    };
    for (const auto& c : cases) {
        std::vector<AudioFilter*> chain;
        std::vector<std::vector<ChainSetting>> settings;
        std::string label;
        for (const char* line : c.lines) {
            std::string error;
            std::vector<ChainSetting> s;
            AudioFilter* f = file.parseLine(line, 1, error, &s);
            ASSERT_NE(f, nullptr) << line << ": " << error;
            chain.push_back(f);
            settings.push_back(s);
            label += std::string(line) + " / ";
        }
        EXPECT_EQ(ChainCheck::check(chain, settings), c.warnings) << label;
        for (AudioFilter* f : chain) delete f;
    }
}

} // namespace
