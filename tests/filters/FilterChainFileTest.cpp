#include "TestStreams.h"
#include "filters/FilterCatalogue.h"
#include "filters/FilterChainFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

using namespace sonabel;
using sonabel::test::GainFilter;

namespace {

// A filter with a choice, a check box and a measured value.
class ModeFilter : public AudioFilter {
public:
    const char* getName() override { return "Mode Filter"; }
    const char* getDescription() override { return "Has every kind of parameter."; }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& f) override { format.copyFrom(f); }
    void process(SampleBuffer&) override {}
    int32_t getParameterCount() override { return 4; }
    const ParameterInfo* getParameterInfo(int32_t i) override { return lookupParameterInfo(info, 4, i, "ModeFilter"); }
    void setParameter(int32_t i, int32_t v) override {
        if (checkParameterIndex(4, i, v, "ModeFilter") && i < 3) values[i] = clampParameter(info[i], v);
    }
    int32_t getParameter(int32_t i) override { return i >= 0 && i < 3 ? values[i] : 0; }
    char* getParameterText(int32_t i, char* b, int32_t cap) override {
        static const char* modes[] = {"Soft Thresholding", "Hard Thresholding", "Hard Thresholding", "7"};
        b[0] = 0;
        if (i == 0) std::snprintf(b, static_cast<size_t>(cap), "%s", modes[values[0]]);
        if (i == 1) std::snprintf(b, static_cast<size_t>(cap), "%s", values[1] ? "Show window" : "Hide window");
        if (i == 2) std::snprintf(b, static_cast<size_t>(cap), "%d dB", values[2] - 20);
        if (i == 3) std::snprintf(b, static_cast<size_t>(cap), "mean 0.5");
        return b;
    }
    AudioFormat format;
    int values[3] = {0, 0, 20};
    static inline ParameterInfo info[4] = {{"Type", 0, 3, PARAM_CHOICE},
                                           {"Show window", 0, 1, PARAM_CHECKBOX},
                                           {"Level", 0, 40, PARAM_SLIDER},
                                           {"Mean", 0, 0, PARAM_DISPLAY}};
};

int testCount() { return 2; }
AudioFilter* testCreate(int i) {
    if (i == 0) return new GainFilter(100);
    if (i == 1) return new ModeFilter;
    return nullptr;
}

const FilterChainFile chainFile(FilterFactory{testCount, testCreate});

std::unique_ptr<AudioFilter> parse(const std::string& line, std::string& error) {
    return std::unique_ptr<AudioFilter>(chainFile.parseLine(line, 3, error));
}

TEST(FilterChainFileTest, ReadsNamesValuesAndTexts) {
    std::string error;
    auto f = parse("  mode filter | Type = Hard Thresholding | Show window = Show window | Level = -5 dB | Active = no ", error);
    ASSERT_NE(f, nullptr) << error;
    EXPECT_EQ(f->getParameter(0), 1) << "the first value with that text";
    EXPECT_EQ(f->getParameter(1), 1);
    EXPECT_EQ(f->getParameter(2), 15);
    EXPECT_FALSE(f->isActive());
    auto g = parse("Gain | Gain = 150", error);
    ASSERT_NE(g, nullptr) << error;
    EXPECT_EQ(g->getParameter(0), 150);
    EXPECT_TRUE(g->isActive());
    EXPECT_EQ(parse("# a comment", error), nullptr);
    EXPECT_EQ(error, "");
    EXPECT_EQ(parse("   ", error), nullptr);
    EXPECT_EQ(error, "");
}

TEST(FilterChainFileTest, ErrorsNameTheLineAndTheChoices) {
    struct Case {
        const char* line;
        const char* expected;
    } cases[] = {
        {"Echo | Delay = 4", "line 3: unknown filter \"Echo\"; valid filters: \"Gain\", \"Mode Filter\""},
        {"Gain | Volume = 4", "line 3: unknown parameter \"Volume\" of \"Gain\"; valid parameters: \"Gain\", \"Active\""},
        {"Gain | Gain = 201",
         "line 3: \"201\" is no value of \"Gain\" of \"Gain\"; give an integer from 0 to 200, a quantity as \"<number> %\" "
         "(or its text, such as \"0 %\")"},
        {"Mode Filter | Type = Medium",
         "line 3: \"Medium\" is no value of \"Type\" of \"Mode Filter\"; valid values: \"Soft Thresholding\", "
         "\"Hard Thresholding\", \"Hard Thresholding\", \"7\" (or 0 to 3)"},
        {"Mode Filter | Mean = 3", "line 3: \"Mean\" of \"Mode Filter\" is a measured value and cannot be set"},
        {"Gain | Active = maybe", "line 3: \"Active\" takes \"yes\" or \"no\", not \"maybe\""},
        {"Gain | Gain 4", "line 3: expected \"name = value\" but found \"Gain 4\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(parse(c.line, error), nullptr) << c.line;
        EXPECT_EQ(error, c.expected);
    }
}

TEST(FilterChainFileTest, WrittenChainsReadBackTheSame) {
    ModeFilter mode;
    mode.setParameter(0, 2); // its text also names value 1: written as a number
    mode.setParameter(1, 1);
    mode.setParameter(2, 33);
    mode.setActive(false);
    EXPECT_EQ(FilterChainFile::formatLine(mode), "Mode Filter | Type = 2 | Show window = Show window | Level = 33 | Active = no");
    mode.setParameter(0, 3); // a text that reads as a number
    EXPECT_NE(FilterChainFile::formatLine(mode).find("| Type = 3 |"), std::string::npos);
    mode.setParameter(0, 0);
    GainFilter gain(42);
    std::stringstream file;
    file << "# saved\n";
    FilterChainFile::write(file, {&mode, &gain});
    std::vector<AudioFilter*> filters;
    std::string error;
    ASSERT_TRUE(chainFile.parse(file, filters, error)) << error;
    ASSERT_EQ(filters.size(), 2u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(filters[0]->getParameter(i), mode.getParameter(i));
    EXPECT_FALSE(filters[0]->isActive());
    EXPECT_EQ(filters[1]->getParameter(0), 42);
    for (AudioFilter* f : filters) delete f;

    std::stringstream bad("Gain\nGain | Gain = x\n");
    EXPECT_FALSE(chainFile.parse(bad, filters, error));
    EXPECT_TRUE(filters.empty());
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u);
}

// Files saved by other editors: a UTF-8 byte-order mark, Windows line ends.
TEST(FilterChainFileTest, ReadsFilesFromOtherEditors) {
    struct {
        const char* text;
        size_t filters;
        int firstGain;
    } cases[] = {{"\xEF\xBB\xBFGain | Gain = 42\n", 1, 42},
                 {"\xEF\xBB\xBF# saved\r\nGain | Gain = 7\r\nGain\r\n", 2, 7}};
    for (const auto& c : cases) {
        std::stringstream file(c.text);
        std::vector<AudioFilter*> filters;
        std::string error;
        EXPECT_TRUE(chainFile.parse(file, filters, error)) << error;
        ASSERT_EQ(filters.size(), c.filters) << c.text;
        if (!filters.empty()) {
            EXPECT_EQ(filters[0]->getParameter(0), c.firstGain);
        }
        for (AudioFilter* f : filters) delete f;
    }
}

const FilterChainFile catalogueFile(FilterFactory{getFilterCount, createFilter});

// Values in the units the filters show, familiar names and short names, with
// the real filters: each line sets one parameter to one step.
TEST(FilterChainFileTest, ValuesInUnitsNamesAndShortNamesTakeTheirStep) {
    struct Case {
        const char* line;
        int parameter;
        int step;
        const char* text; // the filter's own text for the step taken
        bool beyondRange;
    } cases[] = {
        {"Butterworth | Cutoff = 1000 Hz", 1, 138, "1012.27Hz cut off freq", false}, // 963.88 and 1012.27 around
        {"butterworth lowpass | cutoff hz = 1 kHz", 1, 138, "1012.27Hz cut off freq", false},
        {"Butterworth | Cutoff = 100000 Hz", 1, 200, nullptr, true},
        {"Butterworth | Gain = -6 dB", 0, 50, "50% gain", false}, // decibels of a percentage
        {"Butterworth | Resonance = 2 resonance", 2, 20, " 2.0 resonance", false},
        {"Butterworth | Resonance = 2", 2, 2, " 1.1 resonance", false}, // a bare integer is the step
        {"Delay | Delay = 80 ms", 0, 40, "80.00 ms delay", false},
        {"Delay | Delay = 0.08 s", 0, 40, "80.00 ms delay", false},
        {"Delay | Delay = 81.2 ms", 0, 41, "82.00 ms delay", false},
        {"Denoiser | Threshold = -6 dB", 0, 129, "-6.0 db threshold (0.501 linear)", false},
        {"Denoiser | Threshold = -inf dB", 0, 0, "-inf db threshold (0 linear)", false},
        {"Denoiser | Threshold = -100 dB", 0, 1, nullptr, false}, // nearer -70 dB than -inf dB
        {"Denoiser | Number of scales = 4 levels", 2, 3, "Denoise up to details level 4", false},
        {"Denoiser | Number of scales = 4", 2, 4, "Denoise up to details level 5", false},
        {"Equalizer | Details level 1 = 0.5 factor", 1, 25, "0.500000 factor", false},
        {"Display Wavelet function | Scale = level 3", 0, 2, "Details level 3", false},
        {"Forward | Wavelet = DB8", 0, 7, "Daubechies 8", false},
        {"Forward | Wavelet = bior3.9", 0, 13, "Biorthogonal 3/9", false},
        {"Forward | Alg = zero", 1, 1, "Zero padding optimized", false},
        {"Forward | Algorithm = periodization", 1, 4, "Numerical Recipes (wrap)", false},
        {"Denoiser | Type = hard", 1, 1, "Hard Thresholding", false},
        {"Denoiser | Type = Dynamic", 1, 2, "Dynamic Thresholding", false},
    };
    for (const auto& c : cases) {
        std::string error;
        std::vector<ChainSetting> settings;
        std::unique_ptr<AudioFilter> f(catalogueFile.parseLine(c.line, 1, error, &settings));
        ASSERT_NE(f, nullptr) << c.line << ": " << error;
        EXPECT_EQ(f->getParameter(c.parameter), c.step) << c.line;
        ASSERT_EQ(settings.size(), 1u) << c.line;
        EXPECT_EQ(settings[0].parameter, c.parameter) << c.line;
        EXPECT_EQ(settings[0].step, c.step) << c.line;
        if (c.text) {
            EXPECT_EQ(settings[0].text, c.text) << c.line;
        }
        EXPECT_EQ(settings[0].beyondRange, c.beyondRange) << c.line;
    }
}

TEST(FilterChainFileTest, UnknownAndAmbiguousNamesSayWhatWasMeant) {
    struct Case {
        const char* line;
        const char* expected;
    } cases[] = {
        {"Denoisr", "line 1: unknown filter \"Denoisr\"; did you mean \"Wavelet Denoiser\"?"},
        {"Wavelet",
         "line 1: filter \"Wavelet\" could be \"Wavelet Denoiser\", \"Wavelet Display\" or \"Wavelet Equalizer\"; "
         "give more of the name"},
        {"Delay | Dleay = 3", "line 1: unknown parameter \"Dleay\" of \"Delay\"; did you mean \"Delay\"?"},
        {"Delay | Volume = 3", "line 1: unknown parameter \"Volume\" of \"Delay\"; did you mean \"Delay volume\"?"},
        {"Denoiser | Type = thresholding",
         "line 1: \"thresholding\" of \"Type\" could be \"Soft Thresholding\", \"Hard Thresholding\" or \"Dynamic "
         "Thresholding\"; give more of it"},
        {"Delay | Del = 3",
         "line 1: parameter \"Del\" of \"Delay\" could be \"Delay\" or \"Delay volume\"; give more of the name"},
        {"Delay | Delay = 3 Hz",
         "line 1: \"3 Hz\" is no value of \"Delay\" of \"Delay\"; give an integer from 0 to 200, a quantity as "
         "\"<number> ms\" (or its text, such as \"0.00 ms delay\")"},
        {"Forward | Wavelet = Daubechies 11", nullptr}, // a menu entry by its very number only
        {"Denoiser | Number of scales = level 10", nullptr}, // a menu takes no level it does not have
        {"Forward | Wavelet = coif5", nullptr},               // not PyWavelets' coif5: see alias_oracle.py
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(std::unique_ptr<AudioFilter>(catalogueFile.parseLine(c.line, 1, error)), nullptr) << c.line;
        if (c.expected) {
            EXPECT_EQ(error, c.expected);
        } else {
            EXPECT_NE(error.find("\" is no value of \""), std::string::npos) << error;
        }
    }
}

// A chain file with comments after the settings: what the interface saves
// reads back, and the settings come one list per filter.
TEST(FilterChainFileTest, CommentsEndAtTheLineAndSettingsFollowTheFilters) {
    std::stringstream file("Forward | Wavelet = db4  # the short one\n"
                           "# a whole line\n"
                           "Denoiser | Threshold = -30 dB | Type = Hard Thresholding#no space\n"
                           "Inverse\n");
    std::vector<AudioFilter*> filters;
    std::vector<std::vector<ChainSetting>> settings;
    std::string error;
    ASSERT_TRUE(catalogueFile.parse(file, filters, error, &settings)) << error;
    ASSERT_EQ(filters.size(), 3u);
    ASSERT_EQ(settings.size(), 3u);
    EXPECT_EQ(settings[0].size(), 1u);
    EXPECT_EQ(settings[1].size(), 2u);
    EXPECT_TRUE(settings[2].empty());
    EXPECT_EQ(filters[0]->getParameter(0), 3);
    EXPECT_EQ(filters[1]->getParameter(1), 1);
    std::stringstream saved;
    FilterChainFile::write(saved, filters);
    std::vector<AudioFilter*> again;
    ASSERT_TRUE(catalogueFile.parse(saved, again, error)) << error;
    for (size_t k = 0; k < filters.size(); ++k)
        for (int i = 0; i < filters[k]->getParameterCount(); ++i)
            EXPECT_EQ(again[k]->getParameter(i), filters[k]->getParameter(i)) << k << " " << i;
    for (AudioFilter* f : filters) delete f;
    for (AudioFilter* f : again) delete f;
}

} // namespace
