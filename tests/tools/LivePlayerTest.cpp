// The live path on the null device, which keeps real time without hardware:
// these tests take about a second.

#include "WaveTestSupport.h"
#include "filters/FilterCatalogue.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"
#include "render/Renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <optional>
#include <utility>
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
    // With --stats, so that the summary is on out and err holds the messages.
    int render(std::vector<std::string> args) {
        args.push_back("--stats");
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
        {"--play", "in.wav"}, {"--play", "in.wav", "copy.wav"}, {"--capture", "0.5", "--play"}};
    for (const auto& run : runs) {
        ASSERT_EQ(render(run), 0) << run[0] << " " << run[1] << ": " << err.str();
        EXPECT_NE(out.str().find(": 0 underruns, 0 overflows"), std::string::npos) << run[1] << ": " << out.str();
    }
}

TEST_F(LivePlayerTest, CapturesForTheGivenTime) {
    ASSERT_EQ(render({"--capture", "0.25", "rec.wav"}), 0) << err.str();
    EXPECT_NE(out.str().find("Captured 11025 frames (0.250 s)"), std::string::npos) << out.str();
    WaveFileReader r;
    r.setFileName(path("rec.wav").c_str());
    r.open();
    EXPECT_EQ(r.getLength(), 11025);
}

// A recording counts the samples it clips, as a file render does: a float
// file played into a 16-bit recording (counted here from the samples), and
// Gaussian noise on the null device's silence (counted from the recording,
// where each clipped sample sits at full scale; a few others may round to it).
TEST_F(LivePlayerTest, RecordingsCountTheirClippedSamples) {
    const int frames = 8820;
    Wav w;
    w.tag("RIFF").u32(0).tag("WAVE").tag("fmt ").u32(16).u16(3).u16(2).u32(44100).u32(44100 * 8).u16(8).u16(32);
    w.tag("data").u32(frames * 8);
    int64_t beyond = 0;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
            const float v = static_cast<float>((c ? 1.3 : 0.999) * std::sin(0.0628 * i));
            const double x = static_cast<double>(v) * 32768.0;
            beyond += x >= 32767.5 || x < -32768.5;
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            w.u32(bits);
        }
    }
    writeFile(path("loud.wav"), w.done());
    ASSERT_GT(beyond, 1000);
    struct Case {
        std::vector<std::string> args;
        const char* recording;
    } cases[] = {
        {{"--play", "--bits", "16", "loud.wav", "copy.wav", "--json"}, "copy.wav"},
        {{"--capture", "0.25", "--bits", "16", "-f", "Noise | Volume = 200 | Type = Gaussian", "noise.wav", "--json"},
         "noise.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recording);
        ASSERT_EQ(render(c.args), 0) << err.str();
        std::smatch m;
        const std::string json = out.str();
        ASSERT_TRUE(std::regex_search(json, m, std::regex("\"clipped\": (\\d+)"))) << json;
        const int64_t reported = std::stoll(m[1]);
        EXPECT_NE(err.str().find(std::string("sonabel-render: warning: ") + c.recording + ": clipped " +
                                 std::to_string(reported) + " samples\n"),
                  std::string::npos)
            << err.str();
        WaveFileReader r;
        r.setFileName(path(c.recording).c_str());
        r.open();
        SampleBuffer b(2, r.getLength());
        r.read(b, 0, 0.0f);
        int64_t atFullScale = 0;
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < b.currCount; ++i)
                atFullScale += b.getBuffer(ch)[i] >= 32767.0f / 32768.0f || b.getBuffer(ch)[i] <= -1.0f;
        if (c.args[0] == "--play") {
            EXPECT_EQ(reported, beyond);
        } else {
            EXPECT_GT(reported, 1000);
            EXPECT_GE(atFullScale, reported);
            EXPECT_LE(atFullScale, reported + 5);
        }
    }
}

// A sound system that is not there: a JACK server name nobody runs, no
// PulseAudio socket, and an ALSA without configuration (no card opens).
class AbsentSoundSystemTest : public LivePlayerTest {
protected:
    void SetUp() override {
        LivePlayerTest::SetUp();
        ::unsetenv("SONABEL_AUDIO_API");
        const char* names[] = {"JACK_DEFAULT_SERVER", "JACK_NO_START_SERVER", "PULSE_SERVER", "ALSA_CONFIG_PATH"};
        const char* values[] = {"sonabel-no-such-server", "1", "/nonexistent/pulse/native", "/dev/null"};
        for (int i = 0; i < 4; ++i) {
            const char* old = ::getenv(names[i]);
            saved.emplace_back(names[i], old ? std::optional<std::string>(old) : std::nullopt);
            ::setenv(names[i], values[i], 1);
        }
        WaveFileWriter w;
        w.setFileName(path("in.wav").c_str());
        w.open();
        SampleBuffer b(2, 4410);
        w.write(b);
        w.close();
    }
    void TearDown() override {
        for (auto& [name, value] : saved) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
        LivePlayerTest::TearDown();
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(AbsentSoundSystemTest, ForcedSystemThatIsNotThereIsAnErrorAndTheFallbackIsSaid) {
    struct Case {
        const char* api; // SONABEL_AUDIO_API, or null for none
        std::vector<std::string> args;
        int status;
        const char* said;
    };
    const std::vector<Case> cases = {
        {"jack", {"--play", "in.wav"}, 1,
         "sonabel-render: DirectSoundEnumerate failed. JACK, forced by SONABEL_AUDIO_API=jack, offers no output device: "
         "the JACK server is not running\n"},
        {"jack", {"--capture", "0.1", "rec.wav"}, 1,
         "sonabel-render: waveInGetDevCaps returned error. JACK, forced by SONABEL_AUDIO_API=jack, offers no input "
         "device: No sound system is available. (the JACK server is not running)\n"},
        {nullptr, {"--play", "in.wav"}, 0,
         "sonabel-render: no sound system answers (JACK, PulseAudio, ALSA); the output is the null device (no sound)\n"},
        {nullptr, {"--capture", "0.1", "silence.wav"}, 0,
         "sonabel-render: no sound system answers (JACK, PulseAudio, ALSA); the input is the null device (silence)\n"},
        {"null", {"--play", "in.wav"}, 0, "sonabel-render: soundcard output: no sound system, device 0 \"Null device (no sound)\"\n"},
    };
    for (const Case& c : cases) {
        if (c.api) ::setenv("SONABEL_AUDIO_API", c.api, 1);
        else ::unsetenv("SONABEL_AUDIO_API");
        const std::string what = std::string(c.api ? c.api : "(none)") + " " + c.args[0];
        EXPECT_EQ(render(c.args), c.status) << what << ": " << err.str();
        EXPECT_EQ(err.str(), c.said) << what;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(path("rec.wav"))) << what << ": nothing was recorded";
        }
    }
}

TEST_F(LivePlayerTest, DeviceOutOfRangeNamesTheRangeBeforeAnythingStarts) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--play", "--device", "3", "in.wav", "copy.wav"},
         "sonabel-render: --device 3 is out of range: the soundcard outputs are 0 to 0 (see --list-devices)\n"},
        {{"--capture", "1", "--device", "1", "copy.wav"},
         "sonabel-render: --device 1 is out of range: the soundcard inputs are 0 to 0 (see --list-devices)\n"},
    };
    WaveFileWriter w;
    w.setFileName(path("in.wav").c_str());
    w.open();
    SampleBuffer b(2, 4410);
    w.write(b);
    w.close();
    for (const auto& [args, said] : cases) {
        EXPECT_EQ(render(args), 2) << args[0];
        EXPECT_EQ(err.str(), said);
        EXPECT_EQ(out.str(), "") << "nothing played";
        EXPECT_FALSE(fs::exists(path("copy.wav"))) << args[0] << ": the recording was not begun";
    }
}

TEST_F(LivePlayerTest, AWriteAheadTooShortForTheDeviceIsRefusedBeforeTheFirstTick) {
    // The null device takes frames as they fall due: a chunk of write-ahead
    // leaves the ticker no time to wake, so it needs 10 ms more.
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* said;
        const char* played;
    };
    const std::vector<Case> cases = {
        {{"--play", "--write-ahead", "1", "-q", "in.wav"},
         1,
         "sonabel-render: a write-ahead of 1024 frames cannot play chunks of 1024 frames on this device without an "
         "underrun on every tick: it needs 1465 frames (a chunk, and 10 ms for waking up); try --write-ahead 2\n",
         "Played 0 frames"},
        {{"--play", "--chunk", "4410", "--write-ahead", "1", "-q", "in.wav"},
         1,
         "sonabel-render: a write-ahead of 4410 frames cannot play chunks of 4410 frames on this device without an "
         "underrun on every tick: it needs 4851 frames (a chunk, and 10 ms for waking up); try --write-ahead 2\n",
         "Played 0 frames"},
        {{"--play", "--write-ahead", "2", "-q", "in.wav"}, 0, "", "Played 8820 frames (0.200 s)"},
    };
    WaveFileWriter w;
    w.setFileName(path("in.wav").c_str());
    w.open();
    SampleBuffer b(2, 8820);
    w.write(b);
    w.close();
    for (const Case& c : cases) {
        EXPECT_EQ(render(c.args), c.status) << c.args[2] << " " << c.args[3];
        // After the line that names the sound system and device.
        const std::string said = err.str();
        const std::string expected = c.said;
        EXPECT_TRUE(said.size() >= expected.size() &&
                    said.compare(said.size() - expected.size(), expected.size(), expected) == 0)
            << said;
        EXPECT_NE(out.str().find(c.played), std::string::npos) << out.str();
    }
}

TEST_F(LivePlayerTest, ListsTheNullDevice) {
    ASSERT_EQ(render({"--list-devices"}), 0);
    EXPECT_NE(out.str().find("   0  Null device (no sound)"), std::string::npos) << out.str();
}

} // namespace
