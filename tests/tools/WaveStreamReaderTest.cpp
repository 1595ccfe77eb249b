// The WAVE stream reader: headers as writers on a pipe leave them, streams
// that break off, and samples of every type it decodes against the file
// readers (the WAVE reader for 8 and 16 bits, libsndfile's for the rest),
// which a render of the same file uses.

#include "WaveTestSupport.h"
#include "core/SampleBuffer.h"
#include "io/SndFileReader.h"
#include "io/WaveFileReader.h"
#include "render/StreamSource.h"
#include "render/WaveStreamReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace sonabel;
using namespace sonabel::test;

namespace {

// A "fmt " chunk of any tag; extensible carries the tag as its subformat.
Bytes formatChunk(uint16_t tag, int channels, int bits, bool extensible = false) {
    const uint32_t align = static_cast<uint32_t>(channels * bits / 8);
    Wav w;
    w.tag("fmt ").u32(extensible ? 40 : 16).u16(extensible ? 0xFFFE : tag).u16(static_cast<uint32_t>(channels));
    w.u32(8000).u32(align * 8000).u16(align).u16(static_cast<uint32_t>(bits));
    if (extensible) {
        w.u16(22).u16(static_cast<uint32_t>(bits)).u32(3).u16(tag);
        w.raw({0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    }
    return w.b;
}

class WaveStreamReaderTest : public WaveDirTest {
protected:
    // A reader on the bytes, through a descriptor as a pipe would give them.
    struct Opened {
        int fd = -1;
        std::unique_ptr<StreamSource> source;
        std::unique_ptr<WaveStreamReader> reader;
        ~Opened() {
            reader.reset();
            if (fd >= 0) ::close(fd);
        }
    };
    void open(const Bytes& bytes, Opened& o) {
        writeFile(path("stream.wav"), bytes);
        o.fd = ::open(path("stream.wav").c_str(), O_RDONLY);
        ASSERT_GE(o.fd, 0);
        o.source = std::make_unique<StreamSource>(o.fd);
        o.reader = std::make_unique<WaveStreamReader>(*o.source);
    }
};

// Frames delivered and where the stream broke, for the headers writers on a
// pipe leave and for streams cut anywhere.
TEST_F(WaveStreamReaderTest, ReadsWhatCameToTheEndOrToTheStatedSize) {
    const Bytes body(400, 7); // 100 stereo 16-bit frames
    const Bytes head = Wav().tag("RIFF").u32(0xFFFFFFFF).tag("WAVE").raw(formatChunk(1, 2, 16)).b;
    auto stream = [&](uint32_t claimed, size_t bodyBytes, const Bytes& after = {}) {
        return Wav().raw(head).tag("data").u32(claimed).raw(Bytes(body.begin(), body.begin() + bodyBytes)).raw(after).b;
    };
    const Bytes odd = Wav().tag("LIST").u32(3).fill(4, 0).b; // with its pad byte
    struct Case {
        const char* what;
        Bytes bytes;
        const char* headerError; // nullptr: the header reads
        int64_t frames;
        int64_t breaksAt;
        const char* readError = "the stream ends inside a frame";
    } cases[] = {
        {"data size 0", stream(0, 400), nullptr, 100, -1},
        {"data size 0xFFFFFFFF", stream(0xFFFFFFFF, 400), nullptr, 100, -1},
        {"sox's guess, larger than what comes", stream(0x7FFFF000, 400), nullptr, 100, -1},
        {"a true size, then another chunk", stream(200, 400, odd), nullptr, 50, -1},
        {"chunks before fmt and data, one of odd size",
         Wav().tag("RIFF").u32(0).tag("WAVE").raw(odd).raw(formatChunk(1, 2, 16)).raw(odd).tag("data").u32(0).raw(body).b,
         nullptr, 100, -1},
        {"ends inside a frame", stream(0, 398), nullptr, 99, 99},
        {"ends inside a frame of a true size", stream(400, 201), nullptr, 50, 50},
        {"cut between two frames, short of a true size", stream(400, 200), nullptr, 50, 50,
         "the stream ends before the 100 frames its header claims"},
        {"sox's AIFF guess claims nothing either", stream(0x7F000000, 400), nullptr, 100, -1},
        {"nothing after the header", stream(0, 0), nullptr, 0, -1},
        {"empty", {}, "the stream is empty", 0, -1},
        {"ends inside the RIFF header", Bytes(head.begin(), head.begin() + 8), "the stream ends inside its WAVE header", 0, -1},
        {"ends inside fmt", Bytes(head.begin(), head.begin() + 30), "the stream ends inside its WAVE header", 0, -1},
        {"ends inside the data chunk's header", Wav().raw(head).tag("data").b, "the stream ends inside its WAVE header", 0, -1},
        {"no data chunk", head, "the stream has no data chunk", 0, -1},
        {"data before fmt", Wav().tag("RIFF").u32(0).tag("WAVE").tag("data").u32(0).raw(body).b,
         "its data chunk comes before the fmt chunk", 0, -1},
        {"fmt too small", Wav().tag("RIFF").u32(0).tag("WAVE").tag("fmt ").u32(8).fill(8, 0).b,
         "its fmt chunk is too small", 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Opened o;
        open(c.bytes, o);
        std::string error;
        bool unsupported = true;
        ASSERT_EQ(o.reader->readHeader(error, unsupported), c.headerError == nullptr) << error;
        EXPECT_FALSE(unsupported);
        if (c.headerError) {
            EXPECT_EQ(error, c.headerError);
            continue;
        }
        SampleBuffer buffer(2, 16);
        int32_t delivered = 0;
        for (int32_t pos = 0; !o.reader->hasEnded(); pos += 16) {
            ASSERT_GE(o.reader->available(16), 0);
            delivered += o.reader->read(buffer, pos, 0.0f);
        }
        EXPECT_EQ(o.reader->available(16), -1);
        EXPECT_EQ(delivered, c.frames);
        EXPECT_EQ(o.reader->getFramesRead(), c.frames);
        EXPECT_EQ(o.reader->getReadErrorFrame(), c.breaksAt);
        EXPECT_EQ(o.reader->getReadError(), c.breaksAt < 0 ? "" : c.readError);
    }
}

// Every sample type gives the chunk what the file reader gives it from the
// same bytes, bit for bit, chunk after chunk (the last one partly silence);
// a type it does not decode is left to libsndfile.
TEST_F(WaveStreamReaderTest, SamplesAreWhatTheFileReadersGive) {
    struct Case {
        const char* what;
        uint16_t tag;
        int bits;
        bool extensible;
        bool decoded;
    } cases[] = {
        {"8-bit PCM", 1, 8, false, true},          {"16-bit PCM", 1, 16, false, true},
        {"24-bit PCM", 1, 24, false, true},        {"32-bit PCM", 1, 32, false, true},
        {"32-bit float", 3, 32, false, true},      {"64-bit float", 3, 64, false, true},
        {"extensible 24-bit", 1, 24, true, true},  {"extensible float", 3, 32, true, true},
        {"IMA ADPCM", 0x11, 4, false, false},      {"A-law", 6, 8, false, false},
    };
    const int channels = 3;
    const int frames = 50;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Every byte pattern there is, except floats, kept finite.
        Bytes body(static_cast<size_t>(frames * channels * c.bits / 8));
        for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 37 + 11);
        if (c.tag == 3) {
            for (size_t i = 0; i < body.size(); i += static_cast<size_t>(c.bits / 8)) {
                const double v = std::sin(static_cast<double>(i)) * 1.5;
                if (c.bits == 32) {
                    const float f = static_cast<float>(v);
                    std::memcpy(&body[i], &f, 4);
                } else {
                    std::memcpy(&body[i], &v, 8);
                }
            }
        }
        const Bytes file = Wav().tag("RIFF").u32(0).tag("WAVE").raw(formatChunk(c.tag, channels, c.bits, c.extensible))
                               .tag("data").u32(static_cast<uint32_t>(body.size())).raw(body).done();
        Opened o;
        open(file, o);
        std::string error;
        bool unsupported = false;
        ASSERT_EQ(o.reader->readHeader(error, unsupported), c.decoded) << error;
        EXPECT_EQ(unsupported, !c.decoded);
        if (!c.decoded) continue;
        writeFile(path("file.wav"), file);
        std::unique_ptr<AudioReader> reference;
        if (c.bits <= 16) {
            auto r = std::make_unique<WaveFileReader>();
            r->setFileName(path("file.wav").c_str());
            r->open();
            reference = std::move(r);
        } else {
            auto r = std::make_unique<SndFileReader>();
            r->setFileName(path("file.wav").c_str());
            r->open();
            reference = std::move(r);
        }
        // Mixed into what is there, with one channel more than the stream.
        SampleBuffer want(channels + 1, 16), got(channels + 1, 16);
        for (int32_t pos = 0; pos < frames + 16; pos += 16) {
            for (int ch = 0; ch <= channels; ++ch)
                for (int i = 0; i < 16; ++i) want.getBuffer(ch)[i] = got.getBuffer(ch)[i] = 0.25f * static_cast<float>(i);
            const float factor = pos == 16 ? 0.5f : 0.0f;
            ASSERT_EQ(o.reader->read(got, pos, factor), reference->read(want, pos, factor)) << pos;
            for (int ch = 0; ch <= channels; ++ch)
                ASSERT_EQ(0, std::memcmp(got.getBuffer(ch), want.getBuffer(ch), 16 * sizeof(float))) << pos << " " << ch;
        }
        EXPECT_EQ(o.reader->getFramesRead(), frames);
        EXPECT_EQ(o.reader->getReadErrorFrame(), -1);
    }
}

} // namespace
