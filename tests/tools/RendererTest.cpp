// sonabel-render from its command line: what it writes, what it reports,
// and what it does to the files around it when things go wrong. The user's
// files are never replaced by a failed render, no temporary file stays
// behind, and a file that is kept claims no frame it does not hold.

#include "WaveTestSupport.h"
#include "filters/FilterCatalogue.h"
#include "io/WaveFileWriter.h"
#include "render/Renderer.h"
#include "render/SignalToNoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace sonabel;
using namespace sonabel::test;

namespace {

class RendererTest : public WaveDirTest {
protected:
    // Renders with the real catalogue; returns the exit status. afterChunk
    // runs after each chunk of an offline render.
    // With --stats, so that the report is on out and err holds the messages.
    int render(std::vector<std::string> args, std::function<void(int64_t)> afterChunk = nullptr) {
        args.push_back("--stats");
        std::vector<char*> argv{const_cast<char*>("sonabel-render")};
        for (auto& a : args) argv.push_back(a.data());
        RenderOptions options;
        std::string error;
        out.str("");
        err.str("");
        if (!options.parse(static_cast<int>(argv.size()), argv.data(), error)) {
            err.str(error);
            return 2;
        }
        Renderer renderer(options, FilterFactory{getFilterCount, createFilter}, out, err);
        renderer.afterChunk = std::move(afterChunk);
        return renderer.run();
    }
    // A 16-bit (or 8-bit) file whose sample i of channel c is sample(c, i).
    void makeFile(const std::string& name, int channels, int bits, int frames, float rate,
                  const std::function<float(int, int)>& sample) {
        WaveFileWriter w;
        w.setFileName(path(name).c_str());
        w.setAudioFormat(AudioFormat(channels, rate));
        w.setBitsPerSample(bits);
        w.open();
        SampleBuffer b(channels, frames);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frames; ++i) b.getBuffer(c)[i] = sample(c, i);
        w.write(b);
        w.close();
    }
    // A test signal: a different sine per channel.
    void makeInput(const std::string& name, int channels, int bits, int frames, float rate = 44100.0f) {
        makeFile(name, channels, bits, frames, rate,
                 [](int c, int i) { return 0.5f * std::sin(0.01f * static_cast<float>((c + 1) * i)); });
    }
    // Files left in the directory whose names start with a dot: temporaries.
    std::vector<std::string> hiddenFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
        return names;
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
    fs::create_directory("a-dir");
    // Float with a sample size the PCM decoder would take (libsndfile
    // refuses it too), and a rate of 0: neither may render as noise. A-law
    // is libsndfile's to decode.
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
        {{"float.wav", "out.wav"},
         1,
         "sonabel-render: WaveFileReader::readFormatChunk: unsupported format tag 0x0003 (IEEE float)\n"},
        {{"rate0.wav", "out.wav"},
         1,
         "sonabel-render: WaveFileReader::readFormatChunk: unsupported format (sample rate 0 Hz)\n"},
        {{"in.wav", "out.wav", "-c", "bad.txt"},
         2,
         "sonabel-render: bad.txt: line 2: unknown parameter \"Volume\" of \"Delay\"; did you mean \"Delay volume\"?\n"},
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
    // A-law 0xD5 is the smallest positive step, 8 of 32768.
    EXPECT_EQ(render({"-q", "alaw.wav", "out.wav"}), 0) << err.str();
    EXPECT_EQ(err.str(), "sonabel-render: alaw.wav: A-Law, reading it through libsndfile\n");
    EXPECT_EQ(run("sox '" + path("out.wav") + "' -t raw -e signed -b 16 - | od -An -v -td2 -w2 | sort -u"), "      8\n");
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

// Every step with its value text, and the familiar names beside their
// entries, byte for byte as in the golden files (a short name finds the
// filter).
TEST_F(RendererTest, DescribesEveryStepAsTheGoldenFilesSay) {
    const std::pair<const char*, const char*> cases[] = {
        {"Forward", "describe-ForwardWaveletTransform-steps.txt"},
        {"Denoiser", "describe-WaveletDenoiser-steps.txt"},
    };
    for (const auto& [name, golden] : cases) {
        std::ifstream in(std::string(SONABEL_GOLDEN_DIR) + "/" + golden);
        ASSERT_TRUE(in) << golden;
        std::stringstream expected;
        expected << in.rdbuf();
        ASSERT_EQ(render({"--describe", name, "--steps"}), 0) << err.str();
        EXPECT_EQ(out.str(), expected.str()) << golden;
        EXPECT_EQ(err.str(), "");
    }
    ASSERT_EQ(render({"--describe", "Denoisr"}), 2);
    EXPECT_EQ(err.str(), "sonabel-render: unknown filter \"Denoisr\"; did you mean \"Wavelet Denoiser\"?\n");
}

// -f and -c in the order given, -v says what each value became, the chain
// check warns, and the render goes on.
TEST_F(RendererTest, ChainsKeepTheirOrderAndSayWhatValuesBecame) {
    makeInput("in.wav", 1, 16, 3000);
    {
        std::ofstream chain("chain.txt");
        chain << "Denoiser | Threshold = -30 dB   # a comment\nInverse\n";
    }
    ASSERT_EQ(render({"-q", "-v", "-f", "Forward | Wavelet = db8", "-c", "chain.txt", "-f", "Delay | Delay = 0.08 s",
                      "-f", "Wavelet Display", "in.wav", "out.wav"}),
              0)
        << err.str();
    const std::string report = out.str();
    const size_t at[] = {report.find("1 Forward Wavelet Transform"), report.find("2 Wavelet Denoiser"),
                         report.find("3 Inverse Wavelet Transform"), report.find("4 Delay"),
                         report.find("5 Wavelet Display")};
    for (size_t k = 0; k < 5; ++k) EXPECT_NE(at[k], std::string::npos) << k << "\n" << report;
    EXPECT_EQ(err.str(), "sonabel-render: Forward Wavelet Transform: Wavelet = db8 -> Daubechies 8 (step 7)\n"
                         "sonabel-render: Wavelet Denoiser: Threshold = -30 dB -> -30.0 db threshold (0.032 linear) "
                         "(step 81)\n"
                         "sonabel-render: Delay: Delay = 0.08 s -> 80.00 ms delay (step 40)\n"
                         "sonabel-render: warning: \"Wavelet Display\" (filter 5) is a display and shows nothing in "
                         "the renderer\n");
    EXPECT_TRUE(fs::exists("out.wav"));
}

const Bytes userFile = {'m', 'i', 'n', 'e'};

std::string seconds(int frames) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", frames / 44100.0);
    return text;
}

// Names that reach the input or the reference, however they are spelled.
TEST_F(RendererTest, AnOutputThatIsAnInputIsRefused) {
    makeInput("in.wav", 2, 16, 1000);
    makeInput("clean.wav", 2, 16, 1000);
    fs::create_symlink("in.wav", "link.wav");
    fs::create_hard_link("clean.wav", "hard.wav");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"in.wav", "in.wav"}, "the output in.wav is the same file as the input in.wav"},
        {{"in.wav", "./in.wav"}, "the output ./in.wav is the same file as the input in.wav"},
        {{"in.wav", "link.wav"}, "the output link.wav is the same file as the input in.wav"},
        {{"in.wav", "hard.wav", "--reference", "clean.wav"},
         "the output hard.wav is the same file as the --reference clean.wav"},
        {{"--play", "in.wav", "in.wav"}, "the output in.wav is the same file as the input in.wav"},
    };
    const Bytes input = readFile("in.wav"), clean = readFile("clean.wav");
    for (const auto& c : cases) {
        EXPECT_EQ(render(c.args), 2) << c.message;
        EXPECT_EQ(err.str(), "sonabel-render: " + c.message + "; give another output name\n");
        EXPECT_EQ(readFile("in.wav"), input);
        EXPECT_EQ(readFile("clean.wav"), clean);
    }
}

// Success replaces the file a link names, keeping the link and the file's
// permissions.
TEST_F(RendererTest, SuccessReplacesTheTargetThroughLinks) {
    makeInput("in.wav", 1, 16, 3000);
    writeFile("target.wav", userFile);
    ::chmod("target.wav", 0640);
    fs::create_symlink("target.wav", "out.wav");
    ASSERT_EQ(render({"in.wav", "out.wav"}), 0) << err.str();
    EXPECT_TRUE(fs::is_symlink("out.wav"));
    EXPECT_EQ(readFile("target.wav"), readFile("in.wav"));
    EXPECT_EQ(fs::status("target.wav").permissions(), fs::perms(0640));
    EXPECT_TRUE(hiddenFiles().empty());
}

// A render that stops early: the read that came up short (the input was cut
// while it was read), SIGINT, SIGTERM. A file the user had stays as it was;
// where there was none, what was rendered is kept with a header that matches
// it, except after a read error, whose last chunk holds made-up silence.
TEST_F(RendererTest, ARenderThatStopsEarlyNeverReplacesTheUsersFile) {
    // Long enough that the cut lies beyond the 64 KiB the reader takes from
    // the disk at a time.
    const int frames = 100000;
    struct Case {
        const char* name;
        std::function<void(int64_t)> afterChunk;
        int status;
        std::string problem;
        int kept; // frames kept in a new file; -1: none
    } cases[] = {
        {"cut input",
         [](int64_t done) {
             if (done == 1024) {
                 ASSERT_EQ(::truncate("in.wav", 44 + 50000 * 2 + 1), 0);
             }
         },
         1, "cannot read in.wav at frame 50000 of 100000: unexpected end of file", -1},
        {"SIGINT", [](int64_t done) { if (done == 2048) std::raise(SIGINT); }, 130, "interrupted", 2048},
        {"SIGTERM", [](int64_t done) { if (done == 3072) std::raise(SIGTERM); }, 143, "terminated", 3072},
    };
    for (const auto& c : cases) {
        for (bool existed : {true, false}) {
            makeInput("in.wav", 1, 16, frames);
            fs::remove("out.wav");
            if (existed) writeFile("out.wav", userFile);
            EXPECT_EQ(render({"in.wav", "out.wav"}, c.afterChunk), c.status) << c.name;
            std::string rest = "; nothing was kept";
            if (existed)
                rest = "; out.wav is left as it was";
            else if (c.kept >= 0)
                rest = "; the first " + std::to_string(c.kept) + " frames (" + seconds(c.kept) + ") are kept in out.wav";
            EXPECT_EQ(err.str(), "sonabel-render: " + c.problem + rest + "\n") << c.name;
            EXPECT_EQ(out.str().find("Rendered"), std::string::npos);
            EXPECT_TRUE(hiddenFiles().empty()) << c.name;
            if (existed) {
                EXPECT_EQ(readFile("out.wav"), userFile) << c.name;
            } else if (c.kept < 0) {
                EXPECT_FALSE(fs::exists("out.wav")) << c.name;
            } else {
                const PythonWave py = readWithPython("out.wav");
                EXPECT_EQ(py.header, "1 2 44100 " + std::to_string(c.kept)) << c.name;
                EXPECT_EQ(fs::file_size("out.wav"), 44u + 2u * static_cast<unsigned>(c.kept));
            }
        }
    }
    // The handlers were only borrowed.
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

// A full disk (a 200 KiB tmpfs): status 1 with the system's reason, and the
// part that fits is a valid file where the user had none.
TEST_F(RendererTest, AFullDiskEndsTheRenderWithTheSystemsReason) {
    fs::create_directory("small");
    if (::geteuid() != 0 || run("mount -t tmpfs -o size=200k tmpfs small 2>&1; echo $?") != "0\n")
        GTEST_SKIP() << "cannot mount a 200 KiB tmpfs here (needs root and mount rights)";
    makeInput("in.wav", 2, 16, 3 * 44100); // 529 KB
    const int status = render({"in.wav", "small/out.wav"});
    const std::string message = err.str();
    const PythonWave py = readWithPython("small/out.wav");
    const auto size = fs::exists("small/out.wav") ? fs::file_size("small/out.wav") : 0;
    const std::string leftovers = run("ls -A small");
    run("umount small");

    EXPECT_EQ(status, 1);
    const std::string head = "sonabel-render: cannot write small/out.wav: No space left on device; the first ";
    EXPECT_EQ(message.substr(0, head.size()), head);
    EXPECT_EQ(out.str().find("Rendered"), std::string::npos);
    EXPECT_EQ(leftovers, "out.wav\n");
    // Whole frames, as many as the message says, and as many as the header.
    const size_t frames = (size - 44) / 4;
    EXPECT_EQ(size, 44 + frames * 4);
    EXPECT_GT(frames, 40000u);
    EXPECT_EQ(py.header, "2 2 44100 " + std::to_string(frames));
    EXPECT_NE(message.find("the first " + std::to_string(frames) + " frames"), std::string::npos) << message;
}

// Beyond 2 GB the reader cannot reach the end: refused before anything is
// written (a sparse file: nothing is stored).
TEST_F(RendererTest, InputsBeyondTwoGigabytesAreRefused) {
    writeFile("big.wav", Wav().riff().fmt(2, 44100, 16).tag("data").u32(0xFFFFFFF0u).done());
    fs::resize_file("big.wav", 2600000000u);
    makeInput("in.wav", 2, 16, 1000);
    const std::string tail = " holds 2599999956 bytes of audio, more than the 2 GB (2147483647 bytes) a file may "
                             "have here; nothing was rendered\n";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {{{"big.wav", "out.wav"}, "sonabel-render: big.wav" + tail},
                 {{"in.wav", "out.wav", "--reference", "big.wav"}, "sonabel-render: --reference big.wav" + tail}};
    for (const auto& c : cases) {
        EXPECT_EQ(render(c.args), 1);
        EXPECT_EQ(err.str(), c.message);
        EXPECT_FALSE(fs::exists("out.wav"));
        EXPECT_TRUE(hiddenFiles().empty());
    }
}

} // namespace
