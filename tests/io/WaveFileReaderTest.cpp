// WaveFileReader as the mixer uses it: positions, the end of the file,
// looping, the repeat of the last chunk, mixing with a gain, and files
// written by another program (sox).

#include "io/WaveFileReader.h"
#include "LogCapture.h"
#include "WaveTestSupport.h"
#include "core/SampleBuffer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;

namespace {

// Sample of frame f, channel c in the test files: distinct everywhere and
// covering the full 16-bit range.
int16_t sample16(int f, int c) { return static_cast<int16_t>((f * 2 + c) * 997 % 65536 - 32768); }
uint8_t sample8(int f, int c) { return static_cast<uint8_t>((f * 3 + c * 101) % 256); }

Bytes pcm16(int frames, int channels) {
    Wav w;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) w.u16(static_cast<uint16_t>(sample16(f, c)));
    return w.b;
}

Bytes pcm8(int frames, int channels) {
    Bytes b;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) b.push_back(sample8(f, c));
    return b;
}

float value16(int f, int c) { return static_cast<float>(sample16(f, c)) / 32768.0f; }
float value8(int f, int c) { return static_cast<float>(sample8(f, c) - 128) / 128.0f; }

class WaveFileReaderTest : public WaveDirTest {
protected:
    // A 16-bit file of `frames` frames, opened.
    void openStereo16(int frames, int channels = 2) {
        writeFile("in.wav", Wav().riff().fmt(channels, 44100, 16).data(pcm16(frames, channels)).done());
        reader.setFileName("in.wav");
        reader.open();
        ASSERT_EQ(reader.getLength(), frames);
    }
    WaveFileReader reader;
};

TEST_F(WaveFileReaderTest, DescribesItself) {
    EXPECT_STREQ(reader.getName(), "MS Wave");
    EXPECT_STREQ(reader.getAuthor(), "Orvanel");
    EXPECT_STREQ(reader.getDescription(), "Extension for reading Microsoft WAVE files.");
    EXPECT_TRUE(reader.isSeekable());
    EXPECT_FALSE(reader.isLoop());
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.getFileFormat(), reader.getAudioFormat());
}

TEST_F(WaveFileReaderTest, OpenCloseAndStartKeepTheirOwnState) {
    reader.setLoop(true);
    openStereo16(100);
    reader.start();
    EXPECT_TRUE(reader.isStarted());
    reader.setPosition(50);
    reader.close();
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.isStarted());
    EXPECT_EQ(reader.getPosition(), 0);
    EXPECT_EQ(reader.getLength(), 0);
    EXPECT_EQ(reader.getFileFormat()->sampleRate, 44100.0f);
    EXPECT_TRUE(reader.isLoop()) << "looping survives close";
    reader.close(); // safe when closed
}

TEST_F(WaveFileReaderTest, TracesItsSteps) {
    const int before = getTraceThreshold();
    setTraceThreshold(6);
    LogCapture log;
    {
        WaveFileReader r;
        writeFile("t.wav", Wav().riff().fmt(1, 8000, 8).data(pcm8(3, 1)).done());
        r.setFileName("t.wav");
        r.open();
    }
    setTraceThreshold(before);
    const std::vector<std::string> lines = log.all();
    auto has = [&](const std::string& text) {
        for (const std::string& l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has(">WaveFileReader::constructor() Object="));
    EXPECT_TRUE(has(">WaveFileReader::open()"));
    EXPECT_TRUE(has("WaveFileReader::readRIFF()"));
    EXPECT_TRUE(has(">WaveFileReader::readFormatChunk()"));
    EXPECT_TRUE(has(">WaveFileReader::close()"));
    EXPECT_TRUE(has(">WaveFileReader::destructor() Object="));
    EXPECT_EQ(getIndentDepth(), 0) << "every entry trace has its exit";
}

TEST_F(WaveFileReaderTest, AvailableCountsTheFramesLeft) {
    openStereo16(612);
    struct {
        int position, asked, expected;
    } cases[] = {{0, 512, 512}, {512, 512, 100}, {512, 100, 100}, {512, 99, 99}, {611, 5, 1}, {612, 1, -1}};
    for (const auto& c : cases) {
        reader.setPosition(c.position);
        EXPECT_EQ(reader.available(c.asked), c.expected) << c.position << " " << c.asked;
    }
}

TEST_F(WaveFileReaderTest, SetPositionAndSkipClampToTheFile) {
    openStereo16(100);
    struct {
        int32_t to, expected;
    } cases[] = {{-5, 0}, {0, 0}, {42, 42}, {100, 100}, {101, 100}, {INT32_MIN, 0}, {INT32_MAX, 100}};
    for (const auto& c : cases) EXPECT_EQ(reader.setPosition(c.to), c.expected) << c.to;
    reader.setPosition(10);
    EXPECT_EQ(reader.skip(5), 15);
    EXPECT_EQ(reader.skip(-20), 0);
    reader.setPosition(90);
    EXPECT_EQ(reader.skip(INT32_MAX), 100) << "no overflow";
    reader.setPosition(10);
    EXPECT_EQ(reader.skip(INT32_MIN), 0);

    // The file follows the position.
    reader.setPosition(37);
    SampleBuffer buffer(2, 3);
    EXPECT_EQ(reader.read(buffer, 1000, 0.0f), 3);
    EXPECT_EQ(buffer.getBuffer(0)[0], value16(37, 0));
    EXPECT_EQ(buffer.getBuffer(1)[2], value16(39, 1));
    EXPECT_EQ(reader.getPosition(), 40);
}

TEST_F(WaveFileReaderTest, ReadsAcrossTheEndIntoSilence) {
    openStereo16(100);
    SampleBuffer buffer(2, 64);
    EXPECT_EQ(reader.read(buffer, 0, 0.0f), 64);
    LogCapture log;
    const int threshold = getDebugThreshold();
    setDebugThreshold(7);
    EXPECT_EQ(reader.read(buffer, 64, 0.0f), 36) << "only the real frames count";
    setDebugThreshold(threshold);
    EXPECT_TRUE(log.contains("DEBUG: read: providing 28 frames silence. (level:7)"));
    for (int f = 0; f < 36; ++f) ASSERT_EQ(buffer.getBuffer(1)[f], value16(64 + f, 1)) << f;
    for (int f = 36; f < 64; ++f) ASSERT_EQ(buffer.getBuffer(0)[f], 0.0f) << f;
    EXPECT_EQ(reader.available(64), -1);
    EXPECT_EQ(reader.read(buffer, 128, 0.0f), 0);
    EXPECT_EQ(reader.getPosition(), 100);
}

TEST_F(WaveFileReaderTest, EightBitSilenceIsZero) {
    writeFile("m8.wav", Wav().riff().fmt(1, 8000, 8).data(pcm8(5, 1)).done());
    reader.setFileName("m8.wav");
    reader.open();
    SampleBuffer buffer(1, 8);
    EXPECT_EQ(reader.read(buffer, 0, 0.0f), 5);
    for (int f = 0; f < 5; ++f) EXPECT_EQ(buffer.getBuffer(0)[f], value8(f, 0));
    for (int f = 5; f < 8; ++f) EXPECT_EQ(buffer.getBuffer(0)[f], 0.0f) << "0x80 fill, not 0x00 (-1.0)";
}

// Chunk sizes that divide the file evenly, unevenly, and exceed it.
TEST_F(WaveFileReaderTest, LoopingWrapsWithoutGapOrRepeat) {
    const int frames = 1000;
    for (int chunk : {100, 333, 1024, 2500}) {
        SCOPED_TRACE(chunk);
        reader.close();
        reader.setLoop(true);
        openStereo16(frames);
        SampleBuffer buffer(2, chunk);
        int expectedFrame = 0;
        for (int i = 0; i < 7; ++i) {
            ASSERT_EQ(reader.read(buffer, i * chunk, 0.0f), chunk) << "a looped chunk is all real frames";
            for (int f = 0; f < chunk; ++f, expectedFrame = (expectedFrame + 1) % frames) {
                ASSERT_EQ(buffer.getBuffer(0)[f], value16(expectedFrame, 0)) << "read " << i << " frame " << f;
                ASSERT_EQ(buffer.getBuffer(1)[f], value16(expectedFrame, 1));
            }
            EXPECT_EQ(reader.getPosition(), expectedFrame);
        }
        EXPECT_EQ(reader.available(1), 1) << "a looping reader never runs out";
    }
}

TEST_F(WaveFileReaderTest, LoopSwitchedOnAtTheEndStartsAgain) {
    openStereo16(10);
    SampleBuffer buffer(2, 16);
    EXPECT_EQ(reader.read(buffer, 0, 0.0f), 10);
    reader.setLoop(true);
    EXPECT_EQ(reader.read(buffer, 16, 0.0f), 16);
    EXPECT_EQ(buffer.getBuffer(0)[0], value16(0, 0));
    EXPECT_EQ(buffer.getBuffer(0)[10], value16(0, 0));
    EXPECT_EQ(reader.getPosition(), 6);
}

TEST_F(WaveFileReaderTest, SameChunkAgainIsRepeatedWithoutMoving) {
    openStereo16(100);
    SampleBuffer buffer(2, 40);
    LogCapture log;
    EXPECT_EQ(reader.read(buffer, 512, 0.0f), 40);
    EXPECT_EQ(reader.getPosition(), 40);
    EXPECT_EQ(log.count("copying again the last buffer"), 0);

    buffer.makeSilence(0, 40);
    EXPECT_EQ(reader.read(buffer, 512, 0.0f), 40);
    EXPECT_TRUE(log.contains("DEBUG: WaveFileReader::read : copying again the last buffer (level:3)"));
    EXPECT_EQ(reader.getPosition(), 40) << "a repeat does not advance";
    EXPECT_EQ(buffer.getBuffer(0)[39], value16(39, 0));

    // A smaller chunk at the same position is a repeat too; a larger one or
    // another position goes to the file.
    buffer.setSize(20, 2);
    EXPECT_EQ(reader.read(buffer, 512, 0.0f), 20);
    EXPECT_EQ(reader.getPosition(), 40);
    buffer.setSize(41, 2);
    EXPECT_EQ(reader.read(buffer, 512, 0.0f), 41);
    EXPECT_EQ(reader.getPosition(), 81);
    EXPECT_EQ(buffer.getBuffer(0)[0], value16(40, 0));

    // A repeated chunk across the end counts what the first one counted.
    buffer.setSize(41, 2);
    EXPECT_EQ(reader.read(buffer, 1024, 0.0f), 19);
    EXPECT_EQ(reader.read(buffer, 1024, 0.0f), 19);
}

TEST_F(WaveFileReaderTest, GainAddsAndZeroOverwrites) {
    openStereo16(8, 1);
    SampleBuffer buffer(2, 8);
    for (int c = 0; c < 2; ++c)
        for (int f = 0; f < 8; ++f) buffer.getBuffer(c)[f] = 0.125f;
    EXPECT_EQ(reader.read(buffer, 0, 0.5f), 8);
    for (int f = 0; f < 8; ++f) {
        EXPECT_EQ(buffer.getBuffer(0)[f], 0.125f + 0.5f * value16(f, 0));
        EXPECT_EQ(buffer.getBuffer(1)[f], 0.125f + 0.5f * value16(f, 0)) << "mono feeds both channels";
    }
    reader.setPosition(0);
    EXPECT_EQ(reader.read(buffer, 8, 0.0f), 8);
    for (int f = 0; f < 8; ++f) EXPECT_EQ(buffer.getBuffer(1)[f], value16(f, 0));
}

TEST_F(WaveFileReaderTest, ZeroFramesOrClosedReadsNothing) {
    SampleBuffer buffer(2, 4);
    LogCapture log;
    EXPECT_EQ(reader.read(buffer, 0, 0.0f), 0);
    EXPECT_TRUE(log.hasError("read: error: file not opened", 3));
    openStereo16(10);
    buffer.setSize(0, 2);
    EXPECT_EQ(reader.read(buffer, 0, 0.0f), 0);
    EXPECT_EQ(reader.getPosition(), 0);
}

// Chunks of 4 KiB come from 64 KiB disk reads, and looping over a file that
// fits one block does not go back to the disk at all.
TEST_F(WaveFileReaderTest, ReadsTheDiskInLargeBlocks) {
    if (systemCalls("syscr") < 0) GTEST_SKIP() << "no /proc/self/io to count system calls";
    openStereo16(64 * 1024);
    SampleBuffer buffer(2, 1024);
    long start = systemCalls("syscr");
    for (int k = 0; k < 64; ++k) {
        ASSERT_EQ(reader.read(buffer, k * 1024, 0.0f), 1024);
        ASSERT_EQ(buffer.getBuffer(1)[1023], value16(k * 1024 + 1023, 1));
    }
    EXPECT_LE(systemCalls("syscr") - start, 4 + 4) << "256 KiB in 64 KiB blocks, and the counter's own reads";

    reader.close();
    openStereo16(3000);
    reader.setLoop(true);
    buffer.setSize(1024, 2);
    ASSERT_EQ(reader.read(buffer, 0, 0.0f), 1024);
    start = systemCalls("syscr");
    for (int k = 1; k < 40; ++k) {
        ASSERT_EQ(reader.read(buffer, k * 1024, 0.0f), 1024);
        ASSERT_EQ(buffer.getBuffer(0)[0], value16(k * 1024 % 3000, 0));
    }
    EXPECT_LE(systemCalls("syscr") - start, 4) << "the block is kept across the loop";
}

// The file shrinks under an open reader: the rest of that chunk is silence,
// the next read tries again, and it reads whole frames from the right place
// once the bytes are back.
TEST_F(WaveFileReaderTest, ShortDiskReadGivesSilenceAndStaysAligned) {
    const int frames = 20000;
    const Bytes whole = Wav().riff().fmt(2, 44100, 16).data(pcm16(frames, 2)).done();
    writeFile("in.wav", whole);
    reader.setFileName("in.wav");
    reader.open();
    ASSERT_EQ(reader.getLength(), frames);
    // 10000 frames and a half survive.
    ASSERT_EQ(::truncate("in.wav", 44 + 40002), 0);
    SampleBuffer buffer(2, 16000);
    LogCapture log;
    const int32_t got = reader.read(buffer, 0, 0.0f);
    EXPECT_EQ(got, 10000);
    EXPECT_TRUE(log.contains("DEBUG: while reading from disk. Only 10000 frames read instead of 16000 (level:3)"));
    EXPECT_EQ(buffer.getBuffer(0)[9999], value16(9999, 0));
    EXPECT_EQ(buffer.getBuffer(0)[10000], 0.0f);
    EXPECT_EQ(reader.getPosition(), 10000);
    EXPECT_EQ(reader.getReadErrorFrame(), 10000) << "the silence is not taken for the file's contents";
    EXPECT_STREQ(reader.getReadError(), "unexpected end of file");

    writeFile("in.wav", whole);
    buffer.setSize(100, 2);
    EXPECT_EQ(reader.read(buffer, 16000, 0.0f), 100);
    EXPECT_EQ(buffer.getBuffer(0)[0], value16(10000, 0)) << "not shifted by the half frame";
    EXPECT_EQ(buffer.getBuffer(1)[99], value16(10099, 1));
    EXPECT_EQ(reader.getReadErrorFrame(), 10000) << "the first failure is kept";
    reader.close();
    reader.open();
    EXPECT_EQ(reader.getReadErrorFrame(), -1) << "a new open starts clean";
    EXPECT_STREQ(reader.getReadError(), "");
}

// Files written by sox, in its own layouts: the samples come back exactly.
TEST_F(WaveFileReaderTest, ReadsFilesWrittenBySox) {
    struct {
        const char* name;
        int channels, bits, frames;
        const char* extra; // further sox output options
    } cases[] = {
        {"mono8", 1, 8, 1001, ""},
        {"stereo8", 2, 8, 500, ""},
        {"mono16", 1, 16, 777, ""},
        {"stereo16", 2, 16, 4096, ""},
        {"quad16", 4, 16, 300, ""}, // extensible "fmt " and a "fact" chunk
        {"comment16", 2, 16, 64, "--comment sonabel"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes raw = c.bits == 8 ? pcm8(c.frames, c.channels) : pcm16(c.frames, c.channels);
        writeFile("in.raw", raw);
        const std::string out = std::string(c.name) + ".wav";
        int status = 0;
        run("sox -t raw -r 8000 -e " + std::string(c.bits == 8 ? "unsigned" : "signed") + " -b " +
                std::to_string(c.bits) + " -c " + std::to_string(c.channels) + " in.raw " + c.extra + " " + out +
                " 2>&1",
            &status);
        ASSERT_EQ(status, 0);
        WaveFileReader r;
        r.setFileName(out.c_str());
        LogCapture log;
        r.open();
        EXPECT_TRUE(log.errorHookLines().empty());
        EXPECT_EQ(r.getLength(), c.frames);
        EXPECT_EQ(r.getFileFormat()->channels, c.channels);
        EXPECT_EQ(r.getFileFormat()->bitsPerSample, c.bits);
        EXPECT_EQ(r.getFileFormat()->sampleRate, 8000.0f);
        const auto got = readAllFrames(r, 333);
        for (int ch = 0; ch < c.channels; ++ch) {
            ASSERT_EQ(got[static_cast<size_t>(ch)].size(), static_cast<size_t>(c.frames));
            for (int f = 0; f < c.frames; ++f)
                ASSERT_EQ(got[static_cast<size_t>(ch)][static_cast<size_t>(f)],
                          c.bits == 8 ? value8(f, ch) : value16(f, ch))
                    << "channel " << ch << " frame " << f;
        }
    }
}

} // namespace
