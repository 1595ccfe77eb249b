// What sonabel-render puts on its streams: the JSON report (against a
// golden file, with the figures that depend on the machine set to 0), the
// JSON strings it makes of names, the WAVE stream it writes to a pipe and
// the sizes it mends in a WAVE stream it reads from one.

#include "WaveTestSupport.h"
#include "filters/FilterCatalogue.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"
#include "render/RenderReport.h"
#include "render/Renderer.h"
#include "render/StreamOutput.h"
#include "render/StreamSpool.h"
#include "render/WaveStreamWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace sonabel;
using namespace sonabel::test;

namespace {

uint32_t get32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(b[at + 3]) << 24;
}

class RenderStreamsTest : public WaveDirTest {
protected:
    int render(std::vector<std::string> args) {
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
        return renderer.run();
    }
    void makeInput(const std::string& name, int frames) {
        WaveFileWriter w;
        w.setFileName(path(name).c_str());
        w.setAudioFormat(AudioFormat(2, 44100.0f));
        w.setBitsPerSample(16);
        w.open();
        SampleBuffer b(2, frames);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < frames; ++i) b.getBuffer(c)[i] = 0.5f * std::sin(0.01f * static_cast<float>((c + 1) * i));
        w.write(b);
        w.close();
    }
    std::ostringstream out, err;
};

// The report goes where it is asked for: stderr by default, stdout with
// --stats, nowhere with -q; --json is one object on stdout.
TEST_F(RenderStreamsTest, TheReportGoesWhereItIsAskedFor) {
    makeInput("in.wav", 3000);
    struct Case {
        std::vector<std::string> args;
        bool onOut, onErr;
    } cases[] = {
        {{"in.wav", "out.wav"}, false, true},
        {{"--stats", "in.wav", "out.wav"}, true, false},
        {{"-q", "in.wav", "out.wav"}, false, false},
        {{"-q", "--stats", "in.wav", "out.wav"}, true, false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(render(c.args), 0) << err.str();
        EXPECT_EQ(out.str().find("Rendered 3000 frames") != std::string::npos, c.onOut) << c.args[0] << ": " << out.str();
        EXPECT_EQ(err.str().find("Rendered 3000 frames") != std::string::npos, c.onErr) << c.args[0] << ": " << err.str();
    }
}

TEST_F(RenderStreamsTest, JsonReportMatchesTheGoldenFile) {
    makeInput("in.wav", 5000);
    ASSERT_EQ(render({"--json", "-f", "Statistics", "-f", "Delay | Delay = 10 ms", "-f", "Statistics", "--reference",
                      "in.wav", "in.wav", "out.wav"}),
              0)
        << err.str();
    EXPECT_EQ(err.str(), "");
    // What depends on the machine's speed.
    const std::regex timing("(\"(wall_seconds|real_time_factor|load_percent)\": )[-0-9.e+]+");
    const std::string got = std::regex_replace(out.str(), timing, "$010");
    // Kept in the test's folder, which a failure leaves behind.
    std::ofstream(path("render-statistics.json")) << got;
    std::ifstream in(std::string(SONABEL_GOLDEN_DIR) + "/render-statistics.json");
    ASSERT_TRUE(in);
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(got, expected.str());
}

TEST_F(RenderStreamsTest, JsonStringsAlwaysParse) {
    const std::pair<std::string, std::string> cases[] = {
        {"Statistics", "\"Statistics\""},
        {"a \"b\" \\c", "\"a \\\"b\\\" \\\\c\""},
        {"tab\tnew\nline\x01\x7f", "\"tab\\u0009new\\u000aline\\u0001\\u007f\""},
        {"\u00d7 real time \u2014 \U0001F50A", "\"\u00d7 real time \u2014 \U0001F50A\""},
        {"bad \xff byte", "\"bad \xEF\xBF\xBD byte\""},
        {"cut \xE2\x82", "\"cut \xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"overlong \xC0\xAF", "\"overlong \xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"surrogate \xED\xA0\x80", "\"surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(RenderReport::jsonString(text), json) << text;
    EXPECT_EQ(RenderReport::jsonNumber(INFINITY, 2), "null");
    EXPECT_EQ(RenderReport::jsonNumber(NAN, 2), "null");
    EXPECT_EQ(RenderReport::jsonNumber(-6.0206, 2), "-6.02");
}

// The header that goes down a pipe first: true sizes when the length is
// known, 0xFFFFFFFF when not, and the data ends on an even byte.
TEST_F(RenderStreamsTest, StreamHeaderStatesWhatIsKnown) {
    struct Case {
        int channels, bits, frames;
        int64_t expected;
        uint32_t riff, data;
        size_t length;
    } cases[] = {
        {2, 16, 100, 100, 436, 400, 444},
        {1, 8, 3, 3, 40, 3, 48},
        {1, 16, 10, -1, 0xFFFFFFFF, 0xFFFFFFFF, 64},
        {1, 8, 0, 0, 36, 0, 44},
    };
    for (const Case& c : cases) {
        const int fd = ::open(path("stream.wav").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        {
            WaveStreamWriter w(fd);
            w.setAudioFormat(AudioFormat(c.channels, 8000.0f));
            w.setBitsPerSample(c.bits);
            w.setExpectedFrames(c.expected);
            w.open();
            ASSERT_TRUE(w.isOpen());
            SampleBuffer b(c.channels, c.frames > 0 ? c.frames : 1);
            b.currCount = c.frames;
            for (int ch = 0; ch < c.channels; ++ch)
                for (int i = 0; i < c.frames; ++i) b.getBuffer(ch)[i] = 0.25f;
            w.write(b);
            w.close();
            EXPECT_EQ(w.getLength(), c.frames);
        }
        ::close(fd);
        const Bytes bytes = readFile(path("stream.wav"));
        ASSERT_EQ(bytes.size(), c.length) << c.frames;
        EXPECT_EQ(get32(bytes, 4), c.riff) << c.frames;
        EXPECT_EQ(get32(bytes, 40), c.data) << c.frames;
        if (c.expected >= 0) {
            // A file reader takes it whole.
            WaveFileReader r;
            r.setFileName(path("stream.wav").c_str());
            r.open();
            EXPECT_EQ(r.getLength(), c.frames);
        }
    }
}

// The sizes that writers on a pipe leave are set to what came; true sizes
// (another chunk follows the data) are left alone.
TEST_F(RenderStreamsTest, SpooledStreamGetsTheSizesOfWhatCame) {
    const Bytes body(400, 7); // 100 stereo 16-bit frames
    const Bytes list = Wav().tag("LIST").u32(4).tag("INFO").b;
    struct Case {
        const char* what;
        uint32_t claimed;
        Bytes after;
        uint32_t data;
    } cases[] = {
        {"zero", 0, {}, 400},
        {"unknown", 0xFFFFFFFF, {}, 400},
        {"sox's guess", 0x7FFFF000, {}, 400},
        {"true", 400, {}, 400},
        {"true, then a chunk", 400, list, 400},
        {"too small, then no chunk", 200, {}, 400},
    };
    for (const Case& c : cases) {
        const Bytes in = Wav().tag("RIFF").u32(0xFFFFFFFF).tag("WAVE").fmt(2, 8000, 16).tag("data").u32(c.claimed).raw(body).raw(c.after).b;
        writeFile(path("stream.wav"), in);
        const int fd = ::open(path("stream.wav").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        StreamSpool spool;
        std::string error;
        ASSERT_TRUE(spool.create(error)) << error;
        ASSERT_TRUE(spool.readStream(error, fd)) << error;
        ::close(fd);
        const Bytes got = readFile(spool.path());
        ASSERT_EQ(got.size(), in.size()) << c.what;
        EXPECT_EQ(get32(got, 40), c.data) << c.what;
        WaveFileReader r;
        r.setFileName(spool.path().c_str());
        r.open();
        EXPECT_EQ(r.getLength(), 100) << c.what;
    }
}

// Names that are streams already are written in place, as 8- or 16-bit
// WAVE; everything else is a file, made under a temporary name.
TEST_F(RenderStreamsTest, PipesDevicesAndSocketsAreStreamedInPlace) {
    ASSERT_EQ(::mkfifo(path("p.fifo").c_str(), 0644), 0);
    makeInput("file.wav", 10);
    ::mkdir(path("folder").c_str(), 0755);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path("s.sock").c_str());
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::pair<std::string, bool> names[] = {
        {"-", true},          {path("p.fifo"), true},   {"/dev/null", true},       {path("s.sock"), true},
        {"file.wav", false},  {"missing.wav", false},   {path("folder"), false},
    };
    for (const auto& [name, streamed] : names) EXPECT_EQ(StreamOutput::isStream(name), streamed) << name;
    ::close(listening);

    struct Case {
        std::string name, container;
        int bits;
        bool floating;
        int inputBits;
        const char* error; // "" when it can
    } cases[] = {
        {"-", "", 0, false, 16, ""},
        {"-", "", 0, false, 24, ""}, // the input's, at most 16
        {"-", "", 8, false, 24, ""},
        {path("p.fifo"), "wav", 16, false, 8, ""},
        {"-", "", 24, false, 16, "standard output carries 8- or 16-bit WAVE; write a file for other sample types"},
        {"-", "flac", 0, false, 16, "standard output carries 8- or 16-bit WAVE; write a file for FLAC or AIFF"},
        {"/dev/null", "", 32, true, 16,
         "the device /dev/null carries 8- or 16-bit WAVE; write a file for other sample types"},
        {path("p.fifo"), "ogg", 0, false, 16, "--format takes wav, flac or aiff, not \"ogg\""},
    };
    for (const Case& c : cases) {
        StreamOutput output(c.name);
        std::string error;
        EXPECT_EQ(output.choose(c.container, c.bits, c.floating, c.inputBits, error), !*c.error) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

} // namespace
