// The libsndfile reader and writer: every container and sample type goes
// through the writer and comes back through the reader sample for sample,
// and sox decodes each file to the very same samples; the reader keeps the
// WAVE reader's contract (ends, looping, repeated chunks, gains, channel
// copies, short reads), the writer its contract for recordings; and the
// file factories hand libsndfile exactly the files the WAVE reader refuses.

#include "LogCapture.h"
#include "WaveTestSupport.h"
#include "core/SampleBuffer.h"
#include "io/SndFileReader.h"
#include "io/SndFileWriter.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace sonabel;
using namespace sonabel::test;

namespace {

using Container = SndFileFormat::Container;

// A value that every sample type of `bits` holds exactly (at most 24
// significant bits, so a float holds it too); float files also get values
// beyond full scale, which they keep.
float exactSample(int f, int c, int bits, bool floating) {
    const int significant = bits > 24 ? 24 : bits;
    const int range = 1 << significant;
    const int k = (f * 131 + c * 7919 + 17) % range - range / 2;
    const float v = static_cast<float>(k) / static_cast<float>(range / 2);
    return floating ? v * 1.5f : v;
}

void writeFrames(SndFileWriter& w, int frames, int channels, int bits, bool floating, int chunk = 1000) {
    SampleBuffer b(channels, chunk);
    for (int done = 0; done < frames; done += chunk) {
        const int n = std::min(chunk, frames - done);
        b.setSize(n, channels);
        for (int c = 0; c < channels; ++c)
            for (int f = 0; f < n; ++f) b.getBuffer(c)[f] = exactSample(done + f, c, bits, floating);
        w.write(b);
    }
}

class SndFileTest : public WaveDirTest {
protected:
    // Writes `frames` frames of exactSample and closes the file.
    void make(const std::string& name, Container container, int bits, bool floating, int channels, int frames,
              float rate = 44100.0f) {
        SndFileWriter w;
        w.setFileName(path(name).c_str());
        w.setContainer(container);
        w.setBitsPerSample(bits);
        w.setEncoding(floating ? ENCODING_FLOAT : ENCODING_PCM);
        w.setAudioFormat(AudioFormat(channels, rate));
        w.open();
        ASSERT_TRUE(w.isOpen());
        writeFrames(w, frames, channels, bits, floating);
        EXPECT_EQ(w.getLength(), frames);
        w.close();
    }
    std::string soxi(const char* option, const std::string& name) {
        return trim(run(std::string("soxi ") + option + " '" + path(name) + "' 2>/dev/null"));
    }
};

// Containers and sample types: the writer's file is what soxi says, sox
// decodes it to the samples written, and the reader gives them back.
TEST_F(SndFileTest, EveryFormatSurvivesTheWriterSoxAndTheReader) {
    struct Case {
        const char* name;
        Container container;
        int bits;
        bool floating;
        int channels;
        const char* soxType;
        const char* soxEncoding;
        const char* described; // the handover line's account; "" for the WAVE reader
    } cases[] = {
        {"a.wav", Container::Wave, 24, false, 2, "wav", "Signed Integer PCM", "extensible WAVE, 24-bit PCM"},
        {"b.wav", Container::Wave, 32, false, 1, "wav", "Signed Integer PCM", "extensible WAVE, 32-bit PCM"},
        {"c.wav", Container::Wave, 32, true, 2, "wav", "Floating Point PCM", "32-bit float"},
        {"d.wav", Container::Wave, 16, false, 6, "wav", "Signed Integer PCM", ""},
        {"e.wav", Container::Wave, 8, false, 1, "wav", "Unsigned Integer PCM", ""},
        {"f.flac", Container::Flac, 16, false, 2, "flac", "FLAC", "FLAC, 16-bit PCM"},
        {"g.flac", Container::Flac, 24, false, 1, "flac", "FLAC", "FLAC, 24-bit PCM"},
        {"h.flac", Container::Flac, 8, false, 3, "flac", "FLAC", "FLAC, 8-bit PCM"},
        {"i.aiff", Container::Aiff, 16, false, 2, "aiff", "Signed Integer PCM", "AIFF, 16-bit PCM"},
        {"j.aiff", Container::Aiff, 24, false, 1, "aiff", "Signed Integer PCM", "AIFF, 24-bit PCM"},
        {"k.aiff", Container::Aiff, 32, true, 2, "aifc", "Floating Point PCM", "AIFF, 32-bit float"},
    };
    const int frames = 2500;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make(c.name, c.container, c.bits, c.floating, c.channels, frames, 48000.0f);
        EXPECT_EQ(soxi("-t", c.name), c.soxType);
        EXPECT_EQ(soxi("-e", c.name), c.soxEncoding);
        EXPECT_EQ(soxi("-b", c.name), std::to_string(c.bits));
        EXPECT_EQ(soxi("-c", c.name), std::to_string(c.channels));
        EXPECT_EQ(soxi("-r", c.name), "48000");
        EXPECT_EQ(soxi("-s", c.name), std::to_string(frames));

        // sox's samples, as 32-bit integers (PCM) or floats.
        const std::string raw = run("sox '" + path(c.name) + "' -t raw -e " +
                                    (c.floating ? "floating-point" : "signed") + " -b 32 - 2>/dev/null");
        ASSERT_EQ(raw.size(), static_cast<size_t>(frames * c.channels * 4));
        int mismatches = 0;
        for (int f = 0; f < frames; ++f)
            for (int ch = 0; ch < c.channels; ++ch) {
                // sox holds its samples as integers: beyond full scale it clips.
                const float want = std::clamp(exactSample(f, ch, c.bits, c.floating), -1.0f, 1.0f);
                const size_t at = static_cast<size_t>((f * c.channels + ch) * 4);
                float got;
                if (c.floating) {
                    std::memcpy(&got, raw.data() + at, 4);
                } else {
                    int32_t s;
                    std::memcpy(&s, raw.data() + at, 4);
                    got = static_cast<float>(s / 2147483648.0);
                }
                mismatches += got != want;
            }
        EXPECT_EQ(mismatches, 0) << "samples sox decodes differently";

        std::string handover;
        std::unique_ptr<AudioFile> file(createFileReaderFor(path(c.name).c_str(), handover));
        auto* reader = dynamic_cast<AudioReader*>(file.get());
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(dynamic_cast<SndFileReader*>(file.get()) != nullptr, *c.described != 0);
        EXPECT_EQ(handover, *c.described ? path(c.name) + ": " + c.described + ", reading it through libsndfile" : "");
        file->setFileName(path(c.name).c_str());
        reader->open();
        ASSERT_TRUE(reader->isOpen());
        EXPECT_EQ(file->getLength(), frames);
        const auto* format = static_cast<WaveFileFormat*>(file->getFileFormat());
        EXPECT_EQ(format->channels, c.channels);
        EXPECT_EQ(format->sampleRate, 48000.0f);
        EXPECT_EQ(format->getBitsPerSample(), c.bits);
        SampleBuffer b(c.channels, frames);
        EXPECT_EQ(reader->read(b, 0, 0.0f), frames);
        mismatches = 0;
        for (int ch = 0; ch < c.channels; ++ch)
            for (int f = 0; f < frames; ++f) mismatches += b.getBuffer(ch)[f] != exactSample(f, ch, c.bits, c.floating);
        EXPECT_EQ(mismatches, 0) << "samples the reader decodes differently";
    }
}

// The reader's contract on files another program wrote, for a WAVE and a
// FLAC file alike.
TEST_F(SndFileTest, ReaderKeepsTheContractOfTheWaveReader) {
    for (const char* name : {"sox.wav", "sox.flac"}) {
        SCOPED_TRACE(name);
        // 1000 frames of 24-bit stereo noise.
        run("sox -n -r 8000 -c 2 -b 24 '" + path(name) + "' synth 0.125 whitenoise vol 0.5 2>&1");
        const std::string raw = run("sox '" + path(name) + "' -t raw -e signed -b 32 - 2>/dev/null");
        ASSERT_EQ(raw.size(), 8000u);
        auto sample = [&](int f, int c) {
            int32_t s;
            std::memcpy(&s, raw.data() + (f * 2 + c) * 4, 4);
            return static_cast<float>(s / 2147483648.0);
        };

        SndFileReader r;
        r.setFileName(path(name).c_str());
        r.open();
        ASSERT_TRUE(r.isOpen());
        ASSERT_EQ(r.getLength(), 1000);

        // Across the end without looping: the real frames, then silence,
        // and available says the end has come.
        SampleBuffer b(2, 300);
        EXPECT_EQ(r.setPosition(800), 800);
        EXPECT_EQ(r.read(b, 800, 0.0f), 200);
        EXPECT_EQ(b.getBuffer(1)[199], sample(999, 1));
        EXPECT_EQ(b.getBuffer(0)[200], 0.0f);
        EXPECT_EQ(b.getBuffer(1)[299], 0.0f);
        EXPECT_EQ(r.available(10), -1);

        // Asked again for the same chunk: the same data and count, the
        // position stays.
        EXPECT_EQ(r.read(b, 800, 0.0f), 200);
        EXPECT_EQ(r.getPosition(), 1000);

        // Looping: the end of the file runs on into its start.
        r.setLoop(true);
        r.setPosition(900);
        EXPECT_EQ(r.read(b, 900, 0.0f), 300);
        EXPECT_EQ(b.getBuffer(0)[99], sample(999, 0));
        EXPECT_EQ(b.getBuffer(0)[100], sample(0, 0));
        EXPECT_EQ(b.getBuffer(1)[299], sample(199, 1));
        EXPECT_EQ(r.getPosition(), 200);
        r.setLoop(false);

        // A gain adds into what the chunk holds; a wider chunk repeats the
        // file's channels when adding and copies channel 0 when overwriting.
        SampleBuffer wide(4, 10);
        for (int c = 0; c < 4; ++c)
            for (int f = 0; f < 10; ++f) wide.getBuffer(c)[f] = 1.0f;
        r.setPosition(0);
        EXPECT_EQ(r.read(wide, 0, 0.5f), 10);
        EXPECT_EQ(wide.getBuffer(0)[3], sample(3, 0) * 0.5f + 1.0f);
        EXPECT_EQ(wide.getBuffer(3)[3], sample(3, 1) * 0.5f + 1.0f);
        r.setPosition(0);
        EXPECT_EQ(r.read(wide, 1, 0.0f), 10);
        EXPECT_EQ(wide.getBuffer(2)[5], sample(5, 0));
        EXPECT_EQ(wide.getBuffer(3)[5], sample(5, 0));

        // Positions are clamped to the file.
        EXPECT_EQ(r.setPosition(-5), 0);
        EXPECT_EQ(r.setPosition(5000), 1000);
        EXPECT_EQ(r.skip(-300), 700);
        EXPECT_EQ(r.getReadErrorFrame(), -1);
        r.close();
        EXPECT_FALSE(r.isOpen());
        EXPECT_EQ(r.getLength(), 0);
    }
}

// A FLAC file cut short claims more frames than it holds: the read that
// meets the cut says where and why, and what it could not read is silence
// that is not counted as frames.
TEST_F(SndFileTest, AShortReadIsReportedNotPassedOffAsData) {
    run("sox -n -r 44100 -c 2 -b 24 '" + path("full.flac") + "' synth 2 whitenoise vol 0.5 2>&1");
    const Bytes whole = readFile(path("full.flac"));
    ASSERT_GT(whole.size(), 100000u);
    writeFile(path("cut.flac"), Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)));

    SndFileReader r;
    r.setFileName(path("cut.flac").c_str());
    r.open();
    ASSERT_EQ(r.getLength(), 88200);
    SampleBuffer b(2, 4096);
    int64_t real = 0;
    int pos = 0;
    for (; pos < 88200 && r.getReadErrorFrame() < 0; pos += 4096) real += r.read(b, pos, 0.0f);
    ASSERT_GE(r.getReadErrorFrame(), 0);
    EXPECT_LT(r.getReadErrorFrame(), 88200);
    EXPECT_EQ(real, r.getReadErrorFrame()) << "only frames that came from the file are counted";
    EXPECT_STRNE(r.getReadError(), "");
}

// Bytes in order, as a pipe gives them: the first 64 KiB may be read again
// (a header), nothing else; a seek anywhere else fails.
class PipeLikeSource : public SndFileReader::Source {
public:
    explicit PipeLikeSource(Bytes b) : bytes(std::move(b)) {}
    int64_t read(void* to, int64_t count) override {
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(bytes.size()) - at);
        std::memcpy(to, bytes.data() + at, static_cast<size_t>(n));
        at += n;
        reached = std::max(reached, at);
        return n;
    }
    int64_t seek(int64_t offset, int whence) override {
        const int64_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? at + offset : -1;
        if (target < 0 || (target != at && (target > kept || reached > kept))) return -1;
        return at = target;
    }
    int64_t tell() override { return at; }

    static constexpr int64_t kept = 65536;
    Bytes bytes;
    int64_t at = 0, reached = 0;
};

// A stream gives the frames of its file, in order, to its end, whatever its
// header claims; it cannot be moved or looped.
TEST_F(SndFileTest, AStreamIsReadInOrderToItsEnd) {
    struct Case {
        const char* name;
        Container container;
        int bits;
    } cases[] = {{"s.flac", SndFileFormat::Flac, 24}, {"s.aiff", SndFileFormat::Aiff, 16},
                 {"s.wav", SndFileFormat::Wave, 24}};
    const int frames = 30000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make(c.name, c.container, c.bits, false, 2, frames);
        SndFileReader file, stream;
        file.setFileName(path(c.name).c_str());
        file.open();
        PipeLikeSource source(readFile(path(c.name)));
        stream.setFileName(c.name);
        stream.setLoop(true);
        stream.openStream(&source);
        ASSERT_TRUE(stream.isOpen());
        EXPECT_FALSE(stream.isSeekable());
        EXPECT_EQ(stream.getFileFormat()->container, c.container);
        SampleBuffer want(2, 4096), got(2, 4096);
        int64_t real = 0;
        for (int pos = 0; stream.available(1) >= 0; pos += 4096) {
            ASSERT_LT(pos, 2 * frames) << "the stream ends";
            EXPECT_EQ(stream.setPosition(0), stream.getPosition()) << "a stream stays where it is";
            const int32_t n = stream.read(got, pos, 0.0f);
            ASSERT_EQ(n, file.read(want, pos, 0.0f));
            real += n;
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(0, std::memcmp(got.getBuffer(ch), want.getBuffer(ch), 4096 * sizeof(float))) << pos;
        }
        EXPECT_EQ(real, frames);
        EXPECT_EQ(stream.getLength(), frames);
        EXPECT_EQ(stream.getReadErrorFrame(), -1);
    }
}

TEST_F(SndFileTest, OpenFailuresGiveTheReason) {
    writeFile(path("text.txt"), Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    struct Case {
        std::string name;
        std::string error;
    } cases[] = {
        {path("missing.flac"), "Unable to open file '" + path("missing.flac") + "': No such file or directory"},
        {path("text.txt"), "Unable to open file '" + path("text.txt") + "': Format not recognised"},
        {dir.string(), "Unable to open file '" + dir.string() + "': Is a directory"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        SndFileReader r;
        r.setFileName(c.name.c_str());
        r.open();
        EXPECT_FALSE(r.isOpen());
        EXPECT_TRUE(log.hasError(c.error, 1)) << c.name;
        SampleBuffer b(2, 10);
        EXPECT_EQ(r.read(b, 0, 0.0f), 0);
    }
}

// What the WAVE reader plays stays with it; what it refuses goes to
// libsndfile with one line; a file neither reads is reported by the one
// that can say why, never with a walk's internal message.
TEST_F(SndFileTest, FactoriesHandLibsndfileWhatTheWaveReaderRefuses) {
    make("f24.wav", Container::Wave, 24, false, 2, 100);
    make("f8.wav", Container::Wave, 8, false, 1, 100);
    {
        WaveFileWriter w;
        w.setFileName(path("w16.wav").c_str());
        w.open();
        w.close();
    }
    // Extensible PCM of 16 bits: the WAVE reader plays that itself.
    Wav ext;
    ext.riff().tag("fmt ").u32(40).u16(0xFFFE).u16(1).u32(8000).u32(16000).u16(2).u16(16).u16(22).u16(16).u32(4);
    ext.u16(1).raw({0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    writeFile(path("ext16.wav"), ext.data(Bytes(20, 0)).done());
    // Data before fmt: broken, and the WAVE reader's to report.
    writeFile(path("broken.wav"), Wav().riff().data(Bytes(4, 0)).fmt(1, 8000, 16).done());
    writeFile(path("text.wav"), Bytes{'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o', '\n'});
    // MPEG layer 3 in a WAVE file: neither reads it.
    Wav mp3;
    mp3.riff().tag("fmt ").u32(16).u16(0x55).u16(1).u32(8000).u32(1000).u16(1).u16(0);
    writeFile(path("mp3.wav"), mp3.data(Bytes(20, 0)).done());

    struct Case {
        const char* name;
        bool wave;            // the WAVE reader, else libsndfile's
        const char* handover; // after "NAME: "; empty for none
        const char* error;    // what open reports at level 1, after the path
    } cases[] = {
        {"w16.wav", true, "", ""},
        {"ext16.wav", true, "", ""},
        {"broken.wav", true, "", "WaveFileReader::readRIFF: data before fmt chunk"},
        {"f24.wav", false, "extensible WAVE, 24-bit PCM", ""},
        {"f8.wav", true, "", ""},
        {"text.wav", false, "", "Unable to open file '%s': Format not recognised"},
        {"mp3.wav", true, "", "WaveFileReader::readFormatChunk: unsupported format tag 0x0055 (MPEG Layer 3)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string handover;
        std::unique_ptr<AudioFile> file(createFileReaderFor(path(c.name).c_str(), handover));
        EXPECT_EQ(dynamic_cast<WaveFileReader*>(file.get()) != nullptr, c.wave);
        EXPECT_EQ(handover, *c.handover ? path(c.name) + ": " + c.handover + ", reading it through libsndfile" : "");
        LogCapture log;
        file->setFileName(path(c.name).c_str());
        dynamic_cast<AudioReader*>(file.get())->open();
        std::vector<std::string> errors = log.errorHookLines();
        if (*c.error) {
            char want[512];
            std::snprintf(want, sizeof want, c.error, path(c.name).c_str());
            ASSERT_FALSE(errors.empty());
            EXPECT_NE(errors[0].find(want), std::string::npos) << errors[0];
        } else {
            EXPECT_TRUE(errors.empty()) << errors[0];
        }
        EXPECT_EQ(log.count("wrong magic"), 0);
    }

    std::unique_ptr<AudioFile> reader(createFileReader(1)), writer(createFileWriter(1));
    EXPECT_NE(dynamic_cast<SndFileReader*>(reader.get()), nullptr);
    EXPECT_NE(dynamic_cast<SndFileWriter*>(writer.get()), nullptr);
}

// A recording keeps a complete file on disk after every chunk: sox reads
// all the frames written so far before the writer is closed.
TEST_F(SndFileTest, ARecordingIsCompleteOnDiskAfterEveryChunk) {
    for (Container container : {Container::Wave, Container::Aiff}) {
        const std::string name = container == Container::Wave ? "rec.wav" : "rec.aiff";
        SCOPED_TRACE(name);
        SndFileWriter w;
        w.setFileName(path(name).c_str());
        w.setContainer(container);
        w.setBitsPerSample(24);
        w.setAudioFormat(AudioFormat(2, 44100.0f));
        w.open();
        ASSERT_TRUE(w.isOpen());
        for (int chunks = 1; chunks <= 3; ++chunks) {
            writeFrames(w, 441, 2, 24, false, 441);
            EXPECT_EQ(soxi("-s", name), std::to_string(441 * chunks));
        }
        w.close();
        EXPECT_EQ(soxi("-s", name), "1323");
    }
}

// Moving back and writing again overwrites, in a recording and in a
// render's gathered blocks alike; the length stays the furthest frame.
TEST_F(SndFileTest, WritingAfterSetPositionOverwrites) {
    for (bool batched : {false, true}) {
        SCOPED_TRACE(batched ? "batched" : "one write per chunk");
        SndFileWriter w;
        w.setFileName(path("over.aiff").c_str());
        w.setContainer(Container::Aiff);
        w.setBitsPerSample(24);
        w.setAudioFormat(AudioFormat(1, 8000.0f));
        w.setBatched(batched);
        w.open();
        writeFrames(w, 100, 1, 24, false, 50);
        EXPECT_EQ(w.setPosition(-3), 0);
        SampleBuffer ones(1, 10);
        for (int f = 0; f < 10; ++f) ones.getBuffer(0)[f] = 0.25f;
        w.write(ones);
        EXPECT_EQ(w.getPosition(), 10);
        EXPECT_EQ(w.setPosition(500), 100);
        w.close();

        SndFileReader r;
        r.setFileName(path("over.aiff").c_str());
        r.open();
        ASSERT_EQ(r.getLength(), 100);
        SampleBuffer b(1, 100);
        r.read(b, 0, 0.0f);
        EXPECT_EQ(b.getBuffer(0)[9], 0.25f);
        EXPECT_EQ(b.getBuffer(0)[10], exactSample(10, 0, 24, false));
        EXPECT_EQ(b.getBuffer(0)[99], exactSample(99, 0, 24, false));
    }
}

// Settings the file cannot take are refused before anything is created,
// changes while open are refused, and a render gathers its chunks.
TEST_F(SndFileTest, WriterRefusesWhatItCannotWrite) {
    writeFile(path("keep.flac"), Bytes{'o', 'l', 'd'});
    LogCapture log;
    SndFileWriter w;
    w.setFileName(path("keep.flac").c_str());
    w.setContainer(Container::Flac);
    w.setEncoding(ENCODING_FLOAT);
    w.open();
    EXPECT_FALSE(w.isOpen());
    EXPECT_TRUE(log.hasError("SndFileWriter::open: a FLAC file cannot hold 32-bit float (2 channels, 44100 Hz)", 1));
    EXPECT_EQ(readFile(path("keep.flac")).size(), 3u) << "the existing file is untouched";

    w.setEncoding(FourCC("ULAW"));
    EXPECT_TRUE(log.hasError("SndFileWriter::setEncoding: wrong encoding \"ULAW\" !", 1));
    w.setEncoding(ENCODING_PCM);
    w.setBitsPerSample(24);
    w.setBatched(true);
    w.open();
    ASSERT_TRUE(w.isOpen());
    w.setBitsPerSample(16);
    w.setAudioFormat(AudioFormat(1, 8000.0f));
    EXPECT_EQ(w.getFileFormat()->bitsPerSample, 24);
    EXPECT_EQ(w.getFileFormat()->channels, 2);
    writeFrames(w, 5000, 2, 24, false, 256);
    EXPECT_EQ(w.getLength(), 5000) << "gathered frames count in the length";
    EXPECT_EQ(w.setPosition(6000), 5000) << "FLAC is written front to back";
    w.close();
    EXPECT_EQ(soxi("-s", "keep.flac"), "5000");
}

// A disk that takes only part of the data (here a file size limit, which
// fails the write as a full disk does): one report with the system's
// reason, and the length counts only what reached the file.
TEST_F(SndFileTest, AShortWriteIsReportedWithTheSystemsReason) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            65536, 65536
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        LogCapture log;
        SndFileWriter w;
        w.setFileName(path("full.wav").c_str());
        w.setBitsPerSample(24);
        w.open();
        writeFrames(w, 44100, 2, 24, false, 1024);
        int status = 0;
        if (std::strcmp(w.getWriteError(), "File too large") != 0) status |= 1;
        if (log.count("error: could not write file") != 1) status |= 2;
        const int32_t length = w.getLength();
        if (length >= 44100 || length * 6 > 65536) status |= 4;
        w.close();
        // The header names the frames that are there.
        if (trim(run("soxi -s '" + path("full.wav") + "'")) != std::to_string(length)) status |= 8;
        std::_Exit(status);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reason, 2: one report, 4: length, 8: header";
    EXPECT_LE(fs::file_size(path("full.wav")), 65536u);
}

} // namespace
