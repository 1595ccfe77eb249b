#include "RendererFixture.h"
#include "render/SignalToNoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace sonabel;
using namespace sonabel::test;

namespace {

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
    fs::create_directory("a-dir");
    // A-law and float with sample sizes the PCM decoder would take, and a
    // rate of 0: none of them may render as noise.
    writeFile("alaw.wav", Wav().riff().tag("fmt ").u32(16).u16(6).u16(1).u32(8000).u32(8000).u16(1).u16(8)
                              .data(Bytes(100, 0xD5)).done());
    writeFile("float.wav", Wav().riff().tag("fmt ").u32(16).u16(3).u16(1).u32(8000).u32(16000).u16(2).u16(16)
                               .data(Bytes(100, 0x3F)).done());
    writeFile("rate0.wav", Wav().riff().fmt(1, 0, 16).data(Bytes(100, 0)).done());
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"missing.wav", "out.wav"}, 1, "sonabel-render: Unable to open file 'missing.wav': No such file or directory\n"},
        {{"a-dir", "out.wav"}, 1, "sonabel-render: Unable to open file 'a-dir': Is a directory\n"},
        {{"in.wav", "out.wav", "-c", "nothing.txt"},
         1,
         "sonabel-render: cannot read the chain file nothing.txt: No such file or directory\n"},
        {{"in.wav", "out.wav", "-c", "a-dir"}, 1, "sonabel-render: cannot read the chain file a-dir: Is a directory\n"},
        {{"in.wav", "out.wav", "-f", ""}, 2, "sonabel-render: --filter '': empty filter\n"},
        {{"in.wav", "out.wav", "-f", "  # nothing"}, 2, "sonabel-render: --filter '  # nothing': empty filter\n"},
        {{"alaw.wav", "out.wav"},
         1,
         "sonabel-render: WaveFileReader::readFormatChunk: unsupported format tag 0x0006 (A-law)\n"},
        {{"float.wav", "out.wav"},
         1,
         "sonabel-render: WaveFileReader::readFormatChunk: unsupported format tag 0x0003 (IEEE float)\n"},
        {{"rate0.wav", "out.wav"},
         1,
         "sonabel-render: WaveFileReader::readFormatChunk: unsupported format (sample rate 0 Hz)\n"},
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
        EXPECT_FALSE(fs::exists("out.wav")) << c.args[0] << ": nothing is written";
    }
    EXPECT_EQ(render({"in.wav", "/nonexistent-dir/out.wav"}), 1);
    EXPECT_NE(err.str().find("/nonexistent-dir/out.wav"), std::string::npos) << err.str();
}

// Every filter works at the input's rate: the chain is built before the
// mixer knows the input's format, so each filter must learn it on entering.
// An impulse through "Delay = 40" (80 ms) comes back after 80 ms of frames at
// every rate, in every channel. (The Butterworth lowpass at 8 and 192 kHz is
// checked against scipy by render_oracle.py.)
TEST_F(RendererTest, FiltersWorkAtTheInputsRate) {
    for (float rate : {8000.0f, 22050.0f, 48000.0f, 192000.0f}) {
        for (int channels : {1, 2}) {
            // In single precision, as the delay computes it: 3840 at 48 kHz.
            const int echo = static_cast<int>(80.0f * rate * 0.001f);
            makeFile("impulse.wav", channels, 16, echo + 500, rate, [](int, int i) { return i == 0 ? 0.5f : 0.0f; });
            ASSERT_EQ(render({"impulse.wav", "out.wav", "-f", "Delay | Delay = 40"}), 0) << err.str();
            WaveFileReader r;
            r.setFileName("out.wav");
            r.open();
            ASSERT_EQ(r.getFileFormat()->sampleRate, rate);
            const auto frames = readAllFrames(r);
            ASSERT_EQ(frames.size(), static_cast<size_t>(channels));
            for (const auto& x : frames) {
                int first = -1;
                for (size_t i = 1; i < x.size() && first < 0; ++i)
                    if (std::fabs(x[i]) > 0.01f) first = static_cast<int>(i);
                EXPECT_EQ(first, echo) << rate << " Hz, " << channels << " channels";
            }
        }
    }
}

// The final figures cover the whole file, whatever the update interval: a
// 3 s file and one publication every 1001 chunks.
TEST_F(RendererTest, StatisticsCoverTheWholeFile) {
    // A ramp up to 0.75 in the last frame, so only the end holds the maximum.
    const int frames = 3 * 44100;
    makeFile("ramp.wav", 1, 16, frames, 44100.0f,
             [&](int, int i) { return 0.75f * static_cast<float>(i) / static_cast<float>(frames - 1); });
    for (const char* update : {"0", "25", "50"}) {
        ASSERT_EQ(render({"ramp.wav", "out.wav", "-f", std::string("Statistics | Update frequency = ") + update}), 0)
            << err.str();
        EXPECT_NE(out.str().find("Statistics / Maximum: 0.750000\n"), std::string::npos) << update << "\n" << out.str();
    }
}

// The reference is checked before anything is rendered.
TEST_F(RendererTest, ReferenceIsCheckedBeforeRendering) {
    makeInput("in.wav", 1, 16, 2000);
    makeInput("stereo.wav", 2, 16, 2000);
    makeInput("slow.wav", 1, 16, 2000, 8000.0f);
    makeInput("short.wav", 1, 16, 1500);
    struct Case {
        const char* reference;
        int status;
        std::string message; // the start of standard error
        bool rendered;
    } cases[] = {
        {"slow.wav", 2,
         "sonabel-render: --reference slow.wav has 8000 Hz, 1 channel and in.wav 44100 Hz, 1 channel; only files of "
         "one rate and channel count can be compared\n",
         false},
        {"stereo.wav", 2,
         "sonabel-render: --reference stereo.wav has 44100 Hz, 2 channels and in.wav 44100 Hz, 1 channel; only files "
         "of one rate and channel count can be compared\n",
         false},
        {"missing.wav", 1,
         "sonabel-render: --reference: Unable to open file 'missing.wav': No such file or directory\n", false},
        {"short.wav", 0,
         "sonabel-render: warning: --reference short.wav has 1500 frames and in.wav 2000; the SNR covers the first "
         "1500\n",
         true},
    };
    for (const auto& c : cases) {
        fs::remove("out.wav");
        EXPECT_EQ(render({"in.wav", "out.wav", "--reference", c.reference}), c.status) << c.reference;
        EXPECT_EQ(err.str(), c.message);
        EXPECT_EQ(fs::exists("out.wav"), c.rendered) << c.reference;
        EXPECT_EQ(out.str().find("SNR against") != std::string::npos, c.rendered) << out.str();
    }
    // The common part of a shorter reference is all that counts: the same
    // frames give an exact match.
    EXPECT_NE(out.str().find("input +inf dB, output +inf dB, gain 0.00 dB\n"), std::string::npos) << out.str();
}

// A render that changes nothing is an exact match, printed cleanly.
TEST_F(RendererTest, PerfectMatchPrintsInfinityCleanly) {
    makeInput("clean.wav", 2, 16, 3000);
    ASSERT_EQ(render({"clean.wav", "out.wav", "--reference", "clean.wav"}), 0) << err.str();
    EXPECT_NE(out.str().find("SNR against clean.wav: input +inf dB, output +inf dB, gain 0.00 dB\n"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("nan"), std::string::npos) << out.str();
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
    // A check box that cannot follow without a screen still lists its values.
    for (const char* name : {"Time domain Display", "Wavelet Display"}) {
        ASSERT_EQ(render({"--describe", name}), 0);
        EXPECT_NE(out.str().find("  Show window (check box), 0..1, default 0: off\n      0 = off\n      1 = on\n"),
                  std::string::npos)
            << out.str();
    }
    ASSERT_EQ(render({"--help"}), 0);
    EXPECT_NE(out.str().find("Exit status"), std::string::npos);
}

} // namespace
