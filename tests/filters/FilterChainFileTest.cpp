#include "TestStreams.h"
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
         "line 3: \"201\" is no value of \"Gain\" of \"Gain\"; give an integer from 0 to 200 (or its text, such as \"0 %\")"},
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

} // namespace
