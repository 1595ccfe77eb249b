// WaveFileWriter: the header bytes, the patch at close, overwriting, refused
// format changes, failures of the disk, and files that readers no one here
// wrote (soxi, sox, Python's wave module) accept with the same samples.

#include "io/WaveFileWriter.h"
#include "LogCapture.h"
#include "WaveTestSupport.h"
#include "core/SampleBuffer.h"
#include "io/WaveFileReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;

namespace {

// Integer sample k of frame f, channel c, within the range of `bits`.
int level(int f, int c, int bits) {
    const int range = bits == 8 ? 256 : 65536;
    return (f * 131 + c * 7919) % range - range / 2;
}

// A chunk whose samples encode exactly to level().
void fillChunk(SampleBuffer& b, int firstFrame, int bits) {
    const float scale = bits == 8 ? 128.0f : 32768.0f;
    for (int c = 0; c < b.channelCount; ++c)
        for (int f = 0; f < b.currCount; ++f)
            b.getBuffer(c)[f] = static_cast<float>(level(firstFrame + f, c, bits)) / scale;
}

// The data bytes the writer must produce for `frames` frames.
Bytes expectedData(int frames, int channels, int bits) {
    Wav w;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const int v = level(f, c, bits);
            if (bits == 8)
                w.b.push_back(static_cast<uint8_t>(v + 128));
            else
                w.u16(static_cast<uint16_t>(v));
        }
    return w.b;
}

class WaveFileWriterTest : public WaveDirTest {
protected:
    void openWith(const char* name, int channels, float rate, int bits) {
        writer.setFileName(name);
        writer.setAudioFormat(AudioFormat(channels, rate));
        writer.setBitsPerSample(bits);
        writer.open();
        ASSERT_TRUE(writer.isOpen());
    }
    void writeFrames(int first, int count, int channels, int bits) {
        SampleBuffer b(channels, count);
        fillChunk(b, first, bits);
        writer.write(b);
    }
    WaveFileWriter writer;
};

TEST_F(WaveFileWriterTest, DescribesItselfAndOffersPcmOnly) {
    EXPECT_STREQ(writer.getName(), "MS Wave");
    EXPECT_STREQ(writer.getAuthor(), "Orvanel");
    EXPECT_STREQ(writer.getDescription(), "Extension for writing Microsoft WAVE files.");
    EXPECT_TRUE(writer.isSeekable());
    EXPECT_EQ(writer.getEncodingCount(), 1);
    EXPECT_EQ(writer.getEncoding(0), ENCODING_PCM);
    EXPECT_EQ(writer.getEncoding(7), ENCODING_PCM);
    EXPECT_EQ(writer.available(12345), 12345);
    LogCapture log;
    writer.setEncoding(ENCODING_PCM);
    writer.setEncoding(ENCODING_NONE);
    EXPECT_EQ(log.all(),
              std::vector<std::string>{LogCapture::error("WaveFileFormat::setEncoding: wrong encoding \"NONE\" !", 1)});
    EXPECT_EQ(writer.getFileFormat()->getEncoding(), ENCODING_PCM);
}

TEST_F(WaveFileWriterTest, EmptyFileHasACompleteHeader) {
    openWith("empty.wav", 2, 44100.0f, 16);
    writer.close();
    const Bytes got = readFile("empty.wav");
    const Bytes want = Wav()
                           .tag("RIFF")
                           .u32(36)
                           .tag("WAVE")
                           .tag("fmt ")
                           .u32(16)
                           .u16(1)
                           .u16(2)
                           .u32(44100)
                           .u32(176400)
                           .u16(4)
                           .u16(16)
                           .tag("data")
                           .u32(0)
                           .b;
    EXPECT_EQ(got, want);
}

TEST_F(WaveFileWriterTest, OpenFileCarriesPlaceholderSizesUntilClose) {
    openWith("open.wav", 1, 8000.0f, 8);
    writeFrames(0, 10, 1, 8);
    const Bytes during = readFile("open.wav");
    ASSERT_EQ(during.size(), 54u) << "every chunk is on disk at once";
    EXPECT_EQ(le32(during, 4), 16777252u);
    EXPECT_EQ(le32(during, 40), 16777215u);
    writer.close();
    const Bytes after = readFile("open.wav");
    EXPECT_EQ(le32(after, 4), 46u);
    EXPECT_EQ(le32(after, 40), 10u);
}

TEST_F(WaveFileWriterTest, OddDataGetsAPadByte) {
    openWith("odd.wav", 1, 8000.0f, 8);
    writeFrames(0, 3, 1, 8);
    // Overwriting the start must not move the pad byte off the end.
    writer.setPosition(0);
    writeFrames(50, 1, 1, 8);
    writer.close();
    const Bytes got = readFile("odd.wav");
    ASSERT_EQ(got.size(), 48u);
    EXPECT_EQ(le32(got, 4), 40u);
    EXPECT_EQ(le32(got, 40), 3u);
    EXPECT_EQ(got[44], static_cast<uint8_t>(level(50, 0, 8) + 128));
    EXPECT_EQ(got[46], static_cast<uint8_t>(level(2, 0, 8) + 128));
    EXPECT_EQ(got[47], 0);
}

TEST_F(WaveFileWriterTest, SetPositionOverwritesWithinTheFile) {
    openWith("over.wav", 2, 8000.0f, 16);
    writeFrames(0, 100, 2, 16);
    struct {
        int32_t to, expected;
    } cases[] = {{-1, 0}, {150, 100}, {100, 100}, {INT32_MAX, 100}, {0, 0}};
    for (const auto& c : cases) EXPECT_EQ(writer.setPosition(c.to), c.expected) << c.to;
    EXPECT_EQ(writer.skip(5), 5);
    EXPECT_EQ(writer.skip(-10), 0);
    writeFrames(1000, 10, 2, 16);
    EXPECT_EQ(writer.getPosition(), 10);
    EXPECT_EQ(writer.getLength(), 100);
    writer.close();
    const Bytes got = readFile("over.wav");
    ASSERT_EQ(got.size(), 44u + 400u);
    EXPECT_EQ(le32(got, 40), 400u);
    EXPECT_EQ(static_cast<int16_t>(le16(got, 44)), level(1000, 0, 16));
    EXPECT_EQ(static_cast<int16_t>(le16(got, 44 + 40)), level(10, 0, 16));
}

TEST_F(WaveFileWriterTest, OpenAgainCompletesTheFirstFile) {
    openWith("first.wav", 1, 8000.0f, 16);
    writeFrames(0, 20, 1, 16);
    writer.setFileName("second.wav");
    writer.open();
    EXPECT_EQ(le32(readFile("first.wav"), 40), 40u);
    EXPECT_EQ(writer.getLength(), 0);
    writeFrames(0, 5, 1, 16);
    {
        // The destructor completes an open file too.
        WaveFileWriter other;
        other.setFileName("third.wav");
        other.open();
        SampleBuffer b(2, 7);
        fillChunk(b, 0, 16);
        other.write(b);
    }
    EXPECT_EQ(le32(readFile("third.wav"), 40), 28u);
}

TEST_F(WaveFileWriterTest, RateIsTruncatedToWholeHertz) {
    openWith("rate.wav", 1, 44100.7f, 16);
    writer.close();
    const Bytes got = readFile("rate.wav");
    EXPECT_EQ(le32(got, 24), 44100u);
    EXPECT_EQ(le32(got, 28), 88200u);
    EXPECT_EQ(writer.getFileFormat()->sampleRate, 44100.7f) << "the chosen format survives close";
}

TEST_F(WaveFileWriterTest, FormatChangesWhileOpenAreRefused) {
    openWith("fixed.wav", 2, 22050.0f, 16);
    LogCapture log;
    writer.setAudioFormat(AudioFormat(2, 22050.0f));
    writer.setBitsPerSample(16);
    EXPECT_TRUE(log.all().empty()) << "the same format is no change";
    writer.setAudioFormat(AudioFormat(1, 22050.0f));
    writer.setAudioFormat(AudioFormat(2, 48000.0f));
    writer.setBitsPerSample(8);
    EXPECT_EQ(log.all(),
              (std::vector<std::string>{
                  LogCapture::error("WaveFileWriter::setAudioFormat: Cannot change AudioFormat while open", 2),
                  LogCapture::error("WaveFileWriter::setAudioFormat: Cannot change AudioFormat while open", 2),
                  LogCapture::error("WaveFileWriter::setBitsPerSample: Cannot change bits per sample while open", 2)}));
    writeFrames(0, 10, 2, 16);
    writer.close();
    const Bytes got = readFile("fixed.wav");
    EXPECT_EQ(le16(got, 22), 2);
    EXPECT_EQ(le32(got, 24), 22050u);
    EXPECT_EQ(le16(got, 34), 16);
    EXPECT_EQ(le32(got, 40), 40u) << "the header describes the data really written";
    writer.setBitsPerSample(8);
    writer.setAudioFormat(AudioFormat(1, 8000.0f));
    EXPECT_EQ(writer.getFileFormat()->channels, 1) << "closed: accepted";
    EXPECT_EQ(writer.getFileFormat()->bitsPerSample, 8);
}

TEST_F(WaveFileWriterTest, RefusesWhatItCannotWrite) {
    LogCapture log;
    writer.open();
    EXPECT_TRUE(log.hasError("No filename set !!", 1));

    writeFile("keep.wav", {1, 2, 3});
    struct {
        int channels, bits;
    } cases[] = {{1, 24}, {1, 4}, {0, 16}, {2, 0}, {300, 16}};
    for (const auto& c : cases) {
        log.clear();
        writer.setFileName("keep.wav");
        writer.setAudioFormat(AudioFormat(c.channels, 8000.0f));
        writer.setBitsPerSample(c.bits);
        writer.open();
        EXPECT_EQ(log.all(), std::vector<std::string>{LogCapture::error(
                                 "WaveFileWriter::open: unsupported format (" + std::to_string(c.channels) +
                                     " channels, " + std::to_string(c.bits) + " bits per sample)",
                                 1)});
        EXPECT_FALSE(writer.isOpen());
    }
    EXPECT_EQ(readFile("keep.wav"), (Bytes{1, 2, 3})) << "the existing file is left alone";

    log.clear();
    writer.setAudioFormat(AudioFormat(2, 8000.0f));
    writer.setBitsPerSample(16);
    writer.setFileName("no/such/dir/x.wav");
    writer.open();
    EXPECT_EQ(log.all(),
              std::vector<std::string>{LogCapture::error("error: could not create file 'no/such/dir/x.wav'", 1)});
    EXPECT_FALSE(writer.isOpen());

    log.clear();
    SampleBuffer b(2, 4);
    writer.write(b);
    EXPECT_EQ(log.all(), std::vector<std::string>{LogCapture::error("write: error: file not opened", 3)});
}

// A disk with no room even for the header: nothing is opened, and the
// user hears why.
TEST_F(WaveFileWriterTest, NoRoomForTheHeaderIsReported) {
    LogCapture log;
    writer.setFileName("/dev/full");
    writer.open();
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(log.errorHookLines(),
              std::vector<std::string>{"ERROR: error: could not create file '/dev/full': No space left on device "
                                       "(level:1)"});
    writeFrames(0, 4, 2, 16);
    EXPECT_TRUE(log.hasError("write: error: file not opened", 3));
}

// A disk that fills up while recording (a 200 KiB tmpfs): the first short
// write is reported once to the user with the system's reason, nothing is
// counted that the disk did not take, and after close the file is a valid
// WAVE file of the frames it holds, for us and for Python's wave module.
class WaveFileWriterFullDiskTest : public WaveFileWriterTest {
protected:
    void SetUp() override {
        WaveFileWriterTest::SetUp();
        fs::create_directory("small");
        if (::geteuid() != 0 || run("mount -t tmpfs -o size=200k tmpfs small 2>&1; echo $?") != "0\n")
            GTEST_SKIP() << "cannot mount a 200 KiB tmpfs here (needs root and mount rights)";
        mounted = true;
    }
    void TearDown() override {
        writer.close();
        if (mounted) run("umount small");
        WaveFileWriterTest::TearDown();
    }
    bool mounted = false;
};

TEST_F(WaveFileWriterFullDiskTest, FullDiskLeavesAValidFileOfWhatFits) {
    // A recording writes each chunk on its own; a rendered file in blocks.
    for (const bool batched : {false, true}) {
        SCOPED_TRACE(batched ? "batched" : "one write per chunk");
        fs::remove("small/full.wav");
        // Frames of 6 bytes and odd chunks: the disk stops in the middle of one.
        LogCapture log;
        writer.setBatched(batched);
        openWith("small/full.wav", 3, 8000.0f, 16);
        int chunks = 0;
        for (; chunks < 1000 && !*writer.getWriteError(); ++chunks) writeFrames(chunks * 777, 777, 3, 16);
        EXPECT_STREQ(writer.getWriteError(), "No space left on device");
        const int frames = writer.getLength();
        writeFrames(chunks * 777, 777, 3, 16);
        EXPECT_EQ(log.errorHookLines(),
                  std::vector<std::string>{"ERROR: error: could not write file 'small/full.wav': No space left on "
                                           "device (level:1)"})
            << "once per file";
        EXPECT_EQ(writer.getLength(), frames) << "nothing more fits";
        // Unbatched, only the last chunk can be cut; a batch is cut as a whole.
        EXPECT_GE(frames, batched ? 777 : (chunks - 1) * 777);
        writer.close();
        EXPECT_EQ(log.errorHookLines().size(), 1u) << "the file is completed on the full disk";

        const Bytes file = readFile("small/full.wav");
        ASSERT_EQ(file.size(), 44u + 6u * static_cast<size_t>(frames)) << "whole frames only";
        const Bytes want = expectedData(frames, 3, 16);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), file.begin() + 44)) << "every frame counted is on disk";
        EXPECT_EQ(readWithPython("small/full.wav").header, "3 2 8000 " + std::to_string(frames));
    }
}

// A recording hands every chunk to the system as it comes, so a killed
// process loses nothing written; a batched writer gathers chunks into
// blocks of 64 KiB and more. Either way the file is the same, overwrites
// and odd frame sizes included.
TEST_F(WaveFileWriterTest, BatchingChangesTheSystemCallsNotTheFile) {
    const long before = systemCalls("syscw");
    if (before < 0) GTEST_SKIP() << "no /proc/self/io to count system calls";
    struct {
        bool batched;
        long maxWrites; // system calls for 64 chunks of 4 KiB (256 KiB)
        size_t onDiskAfterFirst;
    } cases[] = {{false, 1000, 44u + 4096u}, {true, 8, 44u}};
    Bytes files[2];
    for (size_t i = 0; i < 2; ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.batched ? "batched" : "one write per chunk");
        writer.setBatched(c.batched);
        openWith("same.wav", 2, 44100.0f, 16);
        const long start = systemCalls("syscw");
        writeFrames(0, 1024, 2, 16);
        EXPECT_EQ(readFile("same.wav").size(), c.onDiskAfterFirst);
        for (int k = 1; k < 64; ++k) writeFrames(k * 1024, 1024, 2, 16);
        const long writes = systemCalls("syscw") - start;
        if (c.batched) {
            EXPECT_LE(writes, c.maxWrites);
        } else {
            EXPECT_GE(writes, 64) << "each chunk is on disk when write returns";
        }
        EXPECT_TRUE(writer.flush());
        EXPECT_EQ(readFile("same.wav").size(), 44u + 64u * 4096u) << "flush writes what is pending";

        // Chunks of other sizes (a larger block while frames are pending), an
        // overwrite in the middle of a block, odd chunks.
        writeFrames(64 * 1024, 100, 2, 16);
        writeFrames(64 * 1024 + 100, 333, 2, 16);
        writer.setPosition(1000);
        writeFrames(50000, 333, 2, 16);
        writer.setPosition(100);
        writeFrames(60000, 7, 2, 16);
        writer.setPosition(writer.getLength());
        writeFrames(70000, 4001, 2, 16);
        EXPECT_EQ(writer.getLength(), 64 * 1024 + 433 + 4001);
        writer.close();
        files[i] = readFile("same.wav");
    }
    ASSERT_EQ(files[0].size(), 44u + 4u * (64u * 1024u + 433u + 4001u));
    EXPECT_TRUE(files[0] == files[1]) << "the same bytes either way";
    EXPECT_EQ(static_cast<int16_t>(le16(files[1], 44 + 4 * 1000)), level(50000, 0, 16));
    EXPECT_EQ(static_cast<int16_t>(le16(files[1], 44 + 4 * 100)), level(60000, 0, 16));
    EXPECT_EQ(static_cast<int16_t>(le16(files[1], 44 + 4 * (64 * 1024 + 432))), level(64 * 1024 + 432, 0, 16));
}

// Past the placeholder size the header claims the most a file may hold, so
// a file that is never closed still reads to its last byte.
TEST_F(WaveFileWriterTest, LongRecordingOutgrowsThePlaceholder) {
    openWith("long.wav", 2, 44100.0f, 16);
    const int chunk = 65536;
    const int chunks = 65; // 17 MB, past 16777215 bytes
    SampleBuffer b(2, chunk);
    for (int i = 0; i < chunks; ++i) {
        fillChunk(b, i * chunk, 16);
        writer.write(b);
    }
    const Bytes head = readFile("long.wav");
    EXPECT_GT(le32(head, 40), 16777215u);
    EXPECT_LT(le32(head, 40), 0x80000000u) << "within 2 GB";
    EXPECT_EQ(le32(head, 40) % 4, 0u) << "whole frames";
    WaveFileReader reader;
    reader.setFileName("long.wav");
    reader.open();
    EXPECT_EQ(reader.getLength(), chunk * chunks);
    reader.setPosition(chunk * chunks - 1);
    SampleBuffer last(2, 1);
    EXPECT_EQ(reader.read(last, 0, 0.0f), 1);
    EXPECT_EQ(last.getBuffer(1)[0], static_cast<float>(level(chunk * chunks - 1, 1, 16)) / 32768.0f);
    writer.close();
    EXPECT_EQ(le32(readFile("long.wav"), 40), static_cast<uint32_t>(chunk * chunks * 4));
}

// Every format the writer offers, checked by soxi, sox and Python's wave
// module, and read back by our reader.
TEST_F(WaveFileWriterTest, OutsideReadersAgreeOnEveryFormat) {
    struct {
        int channels, bits, frames;
        float rate;
    } cases[] = {{1, 8, 1001, 8000.0f},   {2, 8, 500, 11025.0f},  {1, 16, 4099, 22050.0f},
                 {2, 16, 3000, 44100.0f}, {3, 16, 257, 48000.0f}, {2, 16, 0, 44100.0f}};
    for (const auto& c : cases) {
        const std::string name =
            "out" + std::to_string(c.channels) + "x" + std::to_string(c.bits) + "_" + std::to_string(c.frames) + ".wav";
        SCOPED_TRACE(name);
        openWith(name.c_str(), c.channels, c.rate, c.bits);
        // Uneven chunks, as a changing tick size gives.
        for (int done = 0, step = 1; done < c.frames; done += step, step = step * 3 % 1000 + 1)
            writeFrames(done, std::min(step, c.frames - done), c.channels, c.bits);
        writer.close();
        const Bytes data = expectedData(c.frames, c.channels, c.bits);
        const std::string rate = std::to_string(static_cast<int>(c.rate));

        EXPECT_EQ(trim(run("soxi -r " + name)), rate);
        EXPECT_EQ(trim(run("soxi -c " + name)), std::to_string(c.channels));
        EXPECT_EQ(trim(run("soxi -b " + name)), std::to_string(c.bits));
        EXPECT_EQ(trim(run("soxi -s " + name)), std::to_string(c.frames));
        int status = 0;
        const std::string raw = run("sox -V1 " + name + " -t raw -", &status);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(raw == std::string(data.begin(), data.end())) << "sox decodes the same samples";

        const PythonWave py = readWithPython(name);
        EXPECT_EQ(py.status, 0) << py.header;
        EXPECT_EQ(py.header, std::to_string(c.channels) + " " + std::to_string(c.bits / 8) + " " + rate + " " +
                                 std::to_string(c.frames));
        EXPECT_EQ(py.hexFrames, hex(data));

        WaveFileReader reader;
        reader.setFileName(name.c_str());
        reader.open();
        ASSERT_EQ(reader.getLength(), c.frames);
        const auto frames = readAllFrames(reader, 1024);
        const float scale = c.bits == 8 ? 128.0f : 32768.0f;
        for (int ch = 0; ch < c.channels; ++ch)
            for (int f = 0; f < c.frames; ++f)
                ASSERT_EQ(frames[static_cast<size_t>(ch)][static_cast<size_t>(f)],
                          static_cast<float>(level(f, ch, c.bits)) / scale);
    }
}

} // namespace
