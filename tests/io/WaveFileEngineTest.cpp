// File to file through the engine: a WaveFileReader feeds the AudioMixer,
// the AudioSynchronizer is ticked by hand, a WaveFileWriter records. Also a
// recording process killed in the middle, whose file must still be read.

#include "LogCapture.h"
#include "TestTickProvider.h"
#include "WaveTestSupport.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;

namespace {

// Distinct bytes, so a lost, repeated or shifted frame shows.
Bytes pattern(size_t n, int seed) {
    Bytes b(n);
    uint32_t x = static_cast<uint32_t>(seed) * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = static_cast<uint8_t>(x >> 24);
    }
    return b;
}

// The road of the application: the mixer runs from the start, the file
// reader is one of its inputs, the writer hangs on the synchronizer.
struct Road {
    AudioMixer mixer;
    AudioSynchronizer sync;
    TestTickProvider clock;
    WaveFileReader reader;
    WaveFileWriter writer;

    Road(const char* in, const char* out, int bits, int chunk, bool loop) : clock(chunk) {
        mixer.open();
        mixer.start();
        reader.setFileName(in);
        reader.setLoop(loop);
        mixer.addInput(&reader, 1.0f, false);
        sync.setReader(&mixer);
        writer.setFileName(out);
        writer.setBitsPerSample(bits);
        sync.addWriter(&writer);
        sync.setTickProvider(&clock);
        sync.start();
    }
    ~Road() {
        if (sync.isStarted()) sync.stop();
        mixer.removeInput(&reader);
    }
};

class WaveFileEngineTest : public WaveDirTest {};

// A 16-bit stereo and an 8-bit mono file come out sample for sample; the
// last chunk is filled up with silence. The mixer works in stereo, so the
// mono input is recorded on both channels.
TEST_F(WaveFileEngineTest, FileToFileIsSampleIdentical) {
    struct {
        int channels, bits, frames, chunk;
        uint32_t rate;
    } cases[] = {{2, 16, 10000, 1024, 44100}, {1, 8, 5001, 512, 8000}, {2, 16, 333, 1024, 22050}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + "x" + std::to_string(c.bits));
        const int frameBytes = c.channels * c.bits / 8;
        const Bytes in = pattern(static_cast<size_t>(c.frames * frameBytes), c.frames);
        writeFile("in.wav", Wav().riff().fmt(c.channels, c.rate, c.bits).data(in).done());
        const int ticks = (c.frames + c.chunk - 1) / c.chunk;
        {
            Road road("in.wav", "out.wav", c.bits, c.chunk, false);
            EXPECT_EQ(road.writer.getFileFormat()->sampleRate, static_cast<float>(c.rate));
            for (int i = 0; i < ticks; ++i) road.clock.tick();
            EXPECT_EQ(road.reader.available(1), -1);
        }
        const Bytes out = readFile("out.wav");
        ASSERT_EQ(le32(out, 40), static_cast<uint32_t>(ticks * c.chunk * 2 * c.bits / 8));
        EXPECT_EQ(le16(out, 22), 2);
        EXPECT_EQ(le32(out, 24), c.rate);
        EXPECT_EQ(le16(out, 34), c.bits);
        const size_t outFrameBytes = static_cast<size_t>(2 * c.bits / 8);
        const size_t sampleBytes = static_cast<size_t>(c.bits / 8);
        for (int f = 0; f < ticks * c.chunk; ++f) {
            for (int ch = 0; ch < 2; ++ch) {
                const size_t at = 44 + static_cast<size_t>(f) * outFrameBytes + static_cast<size_t>(ch) * sampleBytes;
                const int source = ch % c.channels;
                for (size_t k = 0; k < sampleBytes; ++k) {
                    const uint8_t want = f < c.frames
                                             ? in[static_cast<size_t>(f * frameBytes + source * c.bits / 8) + k]
                                             : (c.bits == 8 ? 0x80 : 0x00);
                    ASSERT_EQ(out[at + k], want) << "frame " << f << " channel " << ch;
                }
            }
        }
    }
}

// The chunk does not divide the file: every wrap is seamless.
TEST_F(WaveFileEngineTest, LoopedInputWrapsWithoutGapOrRepeat) {
    const int frames = 1500;
    const int chunk = 1024;
    const Bytes in = pattern(static_cast<size_t>(frames * 4), 7);
    writeFile("loop.wav", Wav().riff().fmt(2, 44100, 16).data(in).done());
    const int ticks = 9; // six wraps
    {
        Road road("loop.wav", "looped.wav", 16, chunk, true);
        for (int i = 0; i < ticks; ++i) road.clock.tick();
        EXPECT_EQ(road.reader.getPosition(), ticks * chunk % frames);
    }
    const Bytes out = readFile("looped.wav");
    ASSERT_EQ(out.size(), 44u + static_cast<size_t>(ticks * chunk * 4));
    for (int f = 0; f < ticks * chunk; ++f)
        for (int k = 0; k < 4; ++k)
            ASSERT_EQ(out[44 + static_cast<size_t>(f * 4 + k)], in[static_cast<size_t>((f % frames) * 4 + k)])
                << "frame " << f;
}

// A child records a looped file tick by tick and reports every finished
// chunk; it is killed in the middle. The file keeps its placeholder header,
// and both our reader and sox read every reported chunk from it.
TEST_F(WaveFileEngineTest, RecordingKilledMidwayIsStillRead) {
    const int frames = 3000;
    const int chunk = 512;
    const Bytes in = pattern(static_cast<size_t>(frames * 4), 3);
    writeFile("source.wav", Wav().riff().fmt(2, 44100, 16).data(in).done());

    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        Road road("source.wav", "killed.wav", 16, chunk, true);
        for (int32_t done = 1;; ++done) {
            road.clock.tick();
            if (::write(report[1], &done, sizeof done) != sizeof done) ::_exit(2);
            ::usleep(500);
        }
    }
    ::close(report[1]);
    int32_t reported = 0;
    while (reported < 40 && ::read(report[0], &reported, sizeof reported) == sizeof reported) {
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    // Chunks finished between the last report read and the kill.
    for (int32_t more; ::read(report[0], &more, sizeof more) == sizeof more;) reported = more;
    ::close(report[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(reported, 40);

    const Bytes out = readFile("killed.wav");
    ASSERT_GE(out.size(), 44u);
    EXPECT_EQ(le32(out, 40), WaveFileWriter::placeholderDataSize) << "never closed";
    const int present = static_cast<int>((out.size() - 44) / 4);
    EXPECT_GE(present, reported * chunk) << "every reported chunk is on disk";
    EXPECT_LT(present, (reported + 1) * chunk) << "at most the chunk in flight is partial";

    WaveFileReader reader;
    reader.setFileName("killed.wav");
    LogCapture log;
    reader.open();
    EXPECT_TRUE(log.errorHookLines().empty());
    ASSERT_EQ(reader.getLength(), present) << "length from the bytes present";
    SampleBuffer buffer(2, present);
    ASSERT_EQ(reader.read(buffer, 0, 0.0f), present);
    for (int f = 0; f < present; ++f) {
        const size_t at = static_cast<size_t>((f % frames) * 4);
        const int16_t left = static_cast<int16_t>(in[at] | (in[at + 1] << 8));
        ASSERT_EQ(buffer.getBuffer(0)[f], static_cast<float>(left) / 32768.0f) << "frame " << f;
    }

    int soxStatus = 0;
    const std::string raw = run("sox -V1 killed.wav -t raw - 2>/dev/null", &soxStatus);
    EXPECT_EQ(soxStatus, 0);
    ASSERT_EQ(raw.size(), static_cast<size_t>(present) * 4) << "sox reads it to the end as well";
    EXPECT_TRUE(Bytes(raw.begin(), raw.end()) ==
                Bytes(out.begin() + 44, out.begin() + 44 + static_cast<long>(raw.size())));
}

} // namespace
