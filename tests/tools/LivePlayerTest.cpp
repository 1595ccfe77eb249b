// The live path on the null device, which keeps real time without hardware:
// these tests take about a second.

#include "WaveTestSupport.h"
#include "filters/FilterCatalogue.h"
#include "io/WaveFileWriter.h"
#include "render/Renderer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace sonabel;
using namespace sonabel::test;

namespace {

class LivePlayerTest : public WaveDirTest {
protected:
    void SetUp() override {
        WaveDirTest::SetUp();
        ::setenv("SONABEL_AUDIO_API", "null", 1);
    }
    void TearDown() override {
        ::unsetenv("SONABEL_AUDIO_API");
        WaveDirTest::TearDown();
    }
    int render(std::vector<std::string> args) {
        std::vector<char*> argv{const_cast<char*>("sonabel-render")};
        for (auto& a : args) argv.push_back(a.data());
        RenderOptions options;
        std::string error;
        EXPECT_TRUE(options.parse(static_cast<int>(argv.size()), argv.data(), error)) << error;
        out.str("");
        err.str("");
        Renderer renderer(options, FilterFactory{getFilterCount, createFilter}, out, err);
        return renderer.run();
    }
    std::ostringstream out, err;
};

TEST_F(LivePlayerTest, PlaysAFileToItsEndAndRecordsItToo) {
    WaveFileWriter w;
    w.setFileName(path("in.wav").c_str());
    w.open();
    SampleBuffer b(2, 8820); // 0.2 s
    for (int i = 0; i < 8820; ++i) b.getBuffer(0)[i] = b.getBuffer(1)[i] = (i % 100) / 200.0f;
    w.write(b);
    w.close();
    ASSERT_EQ(render({"--play", "in.wav", "copy.wav", "-f", "Statistics"}), 0) << err.str();
    EXPECT_NE(out.str().find("Played 8820 frames (0.200 s)"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Statistics / Mean"), std::string::npos);
    EXPECT_EQ(readFile(path("copy.wav")), readFile(path("in.wav"))) << "the recording is the played signal";
}

TEST_F(LivePlayerTest, CleanRunsReportNoUnderruns) {
    WaveFileWriter w;
    w.setFileName(path("in.wav").c_str());
    w.open();
    SampleBuffer b(2, 22050); // 0.5 s
    w.write(b);
    w.close();
    // Filling the ring at the start is not an underrun, nor is the end of
    // the input.
    const std::vector<std::vector<std::string>> runs = {
        {"--play", "in.wav"}, {"--play", "in.wav", "copy.wav"}, {"--capture", "0.5", "--play", "-"}};
    for (const auto& run : runs) {
        ASSERT_EQ(render(run), 0) << run[0] << " " << run[1] << ": " << err.str();
        EXPECT_NE(out.str().find(": 0 underruns, 0 overflows"), std::string::npos) << run[1] << ": " << out.str();
    }
}

TEST_F(LivePlayerTest, CapturesForTheGivenTime) {
    ASSERT_EQ(render({"--capture", "0.25", "-", "rec.wav"}), 0) << err.str();
    EXPECT_NE(out.str().find("Captured 11025 frames (0.250 s)"), std::string::npos) << out.str();
    WaveFileReader r;
    r.setFileName(path("rec.wav").c_str());
    r.open();
    EXPECT_EQ(r.getLength(), 11025);
}

TEST_F(LivePlayerTest, ListsTheNullDevice) {
    ASSERT_EQ(render({"--list-devices"}), 0);
    EXPECT_NE(out.str().find("   0  Null device (no sound)"), std::string::npos) << out.str();
}

} // namespace
