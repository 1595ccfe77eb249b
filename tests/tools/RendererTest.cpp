#include "WaveTestSupport.h"
#include "filters/FilterCatalogue.h"
#include "io/WaveFileWriter.h"
#include "render/Renderer.h"
#include "render/SignalToNoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace sonabel;
using namespace sonabel::test;

namespace {

class RendererTest : public WaveDirTest {
protected:
    // Renders with the real catalogue; returns the exit status.
    int render(std::vector<std::string> args) {
        std::vector<char*> argv{const_cast<char*>("sonabel-render")};
        for (auto& a : args) argv.push_back(a.data());
        RenderOptions options;
        std::string error;
        if (!options.parse(static_cast<int>(argv.size()), argv.data(), error)) {
            err.str(error);
            return 2;
        }
        out.str("");
        err.str("");
        Renderer renderer(options, FilterFactory{getFilterCount, createFilter}, out, err);
        return renderer.run();
    }
    // A test signal: a different sine per channel.
    void makeInput(const std::string& name, int channels, int bits, int frames, float rate = 44100.0f) {
        WaveFileWriter w;
        w.setFileName(path(name).c_str());
        w.setAudioFormat(AudioFormat(channels, rate));
        w.setBitsPerSample(bits);
        w.open();
        SampleBuffer b(channels, frames);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frames; ++i)
                b.getBuffer(c)[i] = 0.5f * std::sin(0.01f * static_cast<float>((c + 1) * i));
        w.write(b);
        w.close();
    }
    std::ostringstream out, err;
};

TEST_F(RendererTest, EmptyChainCopiesTheInputExactlyToTheLastFrame) {
    struct Case {
        int channels, bits, frames, chunk;
    } cases[] = {{2, 16, 5000, 1024}, {1, 8, 777, 256}, {1, 16, 1024, 1024}, {3, 16, 10, 100}, {2, 16, 0, 1024}};
    for (const auto& c : cases) {
        makeInput("in.wav", c.channels, c.bits, c.frames);
        ASSERT_EQ(render({"in.wav", "out.wav", "--chunk", std::to_string(c.chunk)}), 0) << err.str();
        EXPECT_EQ(readFile(path("out.wav")), readFile(path("in.wav")))
            << c.channels << " channels, " << c.bits << " bits, " << c.frames << " frames";
        EXPECT_NE(out.str().find("Rendered " + std::to_string(c.frames) + " frames"), std::string::npos) << out.str();
    }
}

TEST_F(RendererTest, ChainFromFileAndOptionsRunsInOrderAndReports) {
    makeInput("in.wav", 2, 16, 44100);
    writeFile("chain.txt", Bytes{});
    {
        std::ofstream chain(path("chain.txt"));
        chain << "# gain stages\nDelay | Delay = 0\nStatistics | Active = no\n";
    }
    ASSERT_EQ(render({"-c", "chain.txt", "-f", "Statistics", "in.wav", "out.wav", "--bits", "8"}), 0) << err.str();
    const std::string report = out.str();
    EXPECT_NE(report.find("1.000 s"), std::string::npos) << report;
    EXPECT_NE(report.find("   1 Delay"), std::string::npos) << report;
    EXPECT_NE(report.find("(inactive)"), std::string::npos) << report;
    EXPECT_NE(report.find("   3 Statistics"), std::string::npos) << report;
    EXPECT_NE(report.find("Measured values:"), std::string::npos) << report;
    WaveFileReader r;
    r.setFileName(path("out.wav").c_str());
    r.open();
    EXPECT_EQ(r.getFileFormat()->getBitsPerSample(), 8);
    EXPECT_EQ(r.getLength(), 44100);
}

TEST_F(RendererTest, FailuresGiveOneLineAndTheRightStatus) {
    makeInput("in.wav", 2, 16, 100);
    {
        std::ofstream chain(path("bad.txt"));
        chain << "Delay\nDelay | Volume = 3\n";
    }
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"missing.wav", "out.wav"}, 1, "sonabel-render: Unable to open file 'missing.wav'\n"},
        {{"in.wav", "out.wav", "-c", "nothing.txt"}, 1, "sonabel-render: cannot read the chain file nothing.txt\n"},
        {{"in.wav", "out.wav", "-c", "bad.txt"},
         2,
         "sonabel-render: bad.txt: line 2: unknown parameter \"Volume\" of \"Delay\"; valid parameters: \"Delay\", "
         "\"Delay volume\", \"Active\"\n"},
        {{"in.wav", "out.wav", "-f", "Echo"}, 2, "sonabel-render: --filter 'Echo': unknown filter \"Echo\"; valid filters: "},
        {{"--describe", "Echo"}, 2, "sonabel-render: unknown filter \"Echo\"; valid filters: "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(render(c.args), c.status) << c.args[0];
        EXPECT_EQ(err.str().substr(0, c.message.size()), c.message);
        const std::string message = err.str();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
    EXPECT_EQ(render({"in.wav", "/nonexistent-dir/out.wav"}), 1);
    EXPECT_NE(err.str().find("/nonexistent-dir/out.wav"), std::string::npos) << err.str();
}

TEST_F(RendererTest, ReferenceGivesTheSnrBeforeAndAfter) {
    makeInput("clean.wav", 1, 16, 20000);
    // Noise added by a chain, then the same file rendered again unchanged.
    ASSERT_EQ(render({"clean.wav", "noisy.wav", "-f", "Noise generator"}), 0) << err.str();
    ASSERT_EQ(render({"noisy.wav", "same.wav", "--reference", "clean.wav"}), 0) << err.str();
    SignalToNoise::Channels clean, noisy;
    std::string error;
    ASSERT_TRUE(SignalToNoise::load(path("clean.wav"), clean, error));
    ASSERT_TRUE(SignalToNoise::load(path("noisy.wav"), noisy, error));
    const double snr = SignalToNoise::measure(clean, noisy);
    EXPECT_GT(snr, 0.0);
    EXPECT_LT(snr, 60.0);
    char expected[128];
    std::snprintf(expected, sizeof expected, "input %.2f dB, output %.2f dB, gain 0.00 dB", snr, snr);
    EXPECT_NE(out.str().find(expected), std::string::npos) << out.str();
    EXPECT_TRUE(std::isinf(SignalToNoise::measure(clean, clean)));
}

TEST_F(RendererTest, ListsAndDescribesTheCatalogue) {
    ASSERT_EQ(render({"--list-filters"}), 0);
    const std::string listing = out.str();
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), getFilterCount());
    EXPECT_NE(out.str().find("Delay                        Filter for delay (echo) effects."), std::string::npos);
    ASSERT_EQ(render({"--describe", "delay"}), 0);
    EXPECT_NE(out.str().find("Delay (slider), 0..200, default 40: 80.00 ms delay"), std::string::npos) << out.str();
    ASSERT_EQ(render({"--help"}), 0);
    EXPECT_NE(out.str().find("Exit status"), std::string::npos);
}

} // namespace
