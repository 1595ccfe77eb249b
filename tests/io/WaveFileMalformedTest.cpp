// Malformed and unusual WAVE files, written here as bytes. For each: the
// exact messages, the reader's state after open, and what read gives. A
// malformed file never stops open: the reader is open with whatever the walk
// established, and a file with nothing playable reads as silence.

#include "LogCapture.h"
#include "WaveTestSupport.h"
#include "core/SampleBuffer.h"
#include "io/WaveFileReader.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;

namespace {

const std::string riffHeaderShort = "WaveFileReader::readRIFF: could not read riff header\n";
const std::string wrongMagic = "WaveFileReader::readRIFF: wrong magic\n";
const std::string wrongKey = "WaveFileReader::readRIFF: wrong master key\n";
const std::string chunkHeaderShort = "WaveFileReader::readRIFF: could not read chunk header\n";
const std::string dataBeforeFmt = "WaveFileReader::readRIFF: data before fmt chunk";
const std::string noFmt = "No fmt chunk found !";
const std::string noData = "No data chunk found !";
const std::string fmtTooSmall = "WaveFileReader::readFormatChunk: fmt chunk too small\n";
const std::string fmtShort = "WaveFileReader::readFormatChunk: could not read format\n";
const std::string tooLong = "WaveFileReader::readRIFF: chunksize is too long. Adapting sample count";
const std::string multipleFmt = "WaveFileReader::readRIFF: multiple fmt chunks...";

std::string unsupported(int channels, int bits) {
    return "WaveFileReader::readFormatChunk: unsupported format (" + std::to_string(channels) + " channels, " +
           std::to_string(bits) + " bits per sample)";
}

std::string unsupportedTag(const char* tag, const char* what) {
    return std::string("WaveFileReader::readFormatChunk: unsupported format tag ") + tag + " (" + what + ")";
}

const std::string rateZero = "WaveFileReader::readFormatChunk: unsupported format (sample rate 0 Hz)";

// The KSDATAFORMAT_SUBTYPE GUID of a format tag.
Bytes subformat(uint16_t tag) {
    return {static_cast<uint8_t>(tag & 0xff), static_cast<uint8_t>(tag >> 8), 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
}

// A 16-byte "fmt " chunk with another format tag than PCM.
Wav fmtTag(Wav w, uint32_t tag, int channels, uint32_t rate, int bits) {
    const uint32_t align = static_cast<uint32_t>(channels * bits / 8);
    return w.tag("fmt ").u32(16).u16(tag).u16(static_cast<uint32_t>(channels)).u32(rate).u32(align * rate).u16(align)
        .u16(static_cast<uint32_t>(bits));
}

// A 40-byte WAVE_FORMAT_EXTENSIBLE "fmt " chunk of 16-bit stereo at 8000 Hz.
Wav fmtExtensible(Wav w, const Bytes& guid, uint32_t cbSize = 22) {
    return w.tag("fmt ").u32(40).u16(0xFFFE).u16(2).u32(8000).u32(32000).u16(4).u16(16).u16(cbSize).u16(16).u32(3)
        .raw(guid);
}

// 8-bit mono: -1.0, -0.5, 0.0, 0.5, 0.9921875.
const Bytes mono8 = {0x00, 0x40, 0x80, 0xC0, 0xFF};
// 16-bit stereo, three frames; left channel -1.0, 0.0, 32767/32768.
const Bytes stereo16 = {0x00, 0x80, 0x00, 0x40, 0x00, 0x00, 0x00, 0xC0, 0xFF, 0x7F, 0x01, 0x00};
const float top16 = 32767.0f / 32768.0f;

const std::vector<float> silence = {0, 0, 0, 0};
const std::vector<float> mono8First = {-1.0f, -0.5f, 0.0f, 0.5f};
const std::vector<float> stereo16First = {-1.0f, 0.0f, top16, 0.0f};

struct Case {
    const char* name;
    Bytes bytes;
    std::vector<std::string> errors; // level-1 lines, in order
    int length;                      // frames
    int channels;
    int bits;
    float rate;
    std::vector<float> first;         // channel 0 of a 4-frame read from frame 0
    std::vector<std::string> debug{}; // debug messages that must appear
};

Wav head() { return Wav().riff(); }

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// clang-format off
std::vector<Case> corpus() {
    const Bytes m8 = head().fmt(1, 8000, 8).data(mono8).done();
    return {
        // Headers cut short, wrong magic or master key.
        {"EmptyFile", {}, {riffHeaderShort}, 0, 2, 16, 44100, silence},
        {"OnlyRiff", Wav().tag("RIFF").done(), {riffHeaderShort}, 0, 2, 16, 44100, silence},
        {"ElevenBytes", Bytes(m8.begin(), m8.begin() + 11), {riffHeaderShort}, 0, 2, 16, 44100, silence},
        {"MagicRIFX", Wav().tag("RIFX").u32(0).tag("WAVE").fmt(1, 8000, 8).data(mono8).done(), {wrongMagic}, 0, 2, 16,
         44100, silence},
        {"MagicRF64", Wav().tag("RF64").u32(0).tag("WAVE").fmt(1, 8000, 8).data(mono8).done(), {wrongMagic}, 0, 2, 16,
         44100, silence},
        {"MagicLowerCase", Wav().tag("riff").u32(0).tag("WAVE").done(), {wrongMagic}, 0, 2, 16, 44100, silence},
        {"TextFile", Wav().tag("Hell").tag("o, t").tag("his ").tag("is n").tag("ot a").done(), {wrongMagic}, 0, 2, 16,
         44100, silence},
        {"MasterKeyAVI", Wav().tag("RIFF").u32(0).tag("AVI ").fmt(1, 8000, 8).data(mono8).done(), {wrongKey}, 0, 2, 16,
         44100, silence},
        {"MasterKeyLowerCase", Wav().tag("RIFF").u32(4).tag("wave").done(), {wrongKey}, 0, 2, 16, 44100, silence},

        // Chunks missing, cut short or in the wrong order.
        {"HeaderOnly", head().done(), {noFmt}, 0, 2, 16, 44100, silence},
        {"PartialChunkHeader", head().tag("fmt").done(), {chunkHeaderShort}, 0, 2, 16, 44100, silence},
        {"GarbageAfterFmt", head().fmt(1, 8000, 8).fill(7, 0x41).done(), {chunkHeaderShort}, 0, 1, 8, 8000, silence},
        {"FmtHeaderWithoutBody", head().tag("fmt ").u32(16).done(), {fmtShort, noData}, 0, 2, 16, 44100, silence},
        {"FmtBodyCutShort", head().tag("fmt ").u32(16).u16(1).u16(1).u32(8000).done(), {fmtShort, noData}, 0, 2, 16,
         44100, silence},
        {"DataBeforeFmt", head().data(mono8).fmt(1, 8000, 8).done(), {dataBeforeFmt}, 0, 2, 16, 44100, silence},
        {"DataOnly", head().data(mono8).done(), {dataBeforeFmt}, 0, 2, 16, 44100, silence},
        {"EndsAfterFmt", head().fmt(1, 8000, 8).done(), {noData}, 0, 1, 8, 8000, silence},
        {"OnlyList", head().tag("LIST").u32(4).tag("INFO").done(), {noFmt}, 0, 2, 16, 44100, silence},
        {"FmtThenListNoData", head().fmt(1, 8000, 8).tag("LIST").u32(4).tag("INFO").done(), {noData}, 0, 1, 8, 8000,
         silence},

        // A "fmt " record shorter than 16 bytes: skipped, the defaults stay
        // (16-bit stereo), and the data is read with them.
        {"FmtSize14", head().tag("fmt ").u32(14).fill(14, 1).data(stereo16).done(), {fmtTooSmall}, 3, 2, 16, 44100,
         stereo16First},
        {"FmtSize0", head().tag("fmt ").u32(0).data(stereo16).done(), {fmtTooSmall}, 3, 2, 16, 44100, stereo16First},
        {"FmtSize15Padded", head().tag("fmt ").u32(15).fill(16, 1).data(stereo16).done(), {fmtTooSmall}, 3, 2, 16,
         44100, stereo16First},

        // Well-formed variations that must play.
        {"Minimal8BitMono", m8, {}, 5, 1, 8, 8000, mono8First},
        {"OddDataWithoutPad", head().fmt(1, 8000, 8).data(mono8, false).done(), {}, 5, 1, 8, 8000, mono8First},
        {"Stereo16", head().fmt(2, 22050, 16).data(stereo16).done(), {}, 3, 2, 16, 22050, stereo16First},
        {"OddChunkWithPad", head().fmt(1, 8000, 8).tag("junk").u32(3).fill(4, 7).data(mono8).done(), {}, 5, 1, 8, 8000,
         mono8First},
        {"EmptyChunk", head().fmt(1, 8000, 8).tag("junk").u32(0).data(mono8).done(), {}, 5, 1, 8, 8000, mono8First},
        {"Fmt17WithPad", head().fmt(1, 8000, 8, 17).data(mono8).done(), {}, 5, 1, 8, 8000, mono8First},
        {"Fmt18", head().fmt(1, 8000, 8, 18).data(mono8).done(), {}, 5, 1, 8, 8000, mono8First},
        {"Fmt40ExtensiblePcm", fmtExtensible(head(), subformat(1)).tag("fact").u32(4).u32(3).data(stereo16).done(),
         {}, 3, 2, 16, 8000, stereo16First},
        {"TwoFmtChunksFirstWins", head().fmt(1, 8000, 8).fmt(2, 44100, 16).data(mono8).done(), {}, 5, 1, 8, 8000,
         mono8First, {multipleFmt}},
        {"ListBetweenFmtAndData",
         head().fmt(1, 8000, 8).tag("LIST").u32(18).tag("INFO").tag("ISFT").u32(5).fill(5, 'x').fill(1, 0).data(mono8)
             .done(),
         {}, 5, 1, 8, 8000, mono8First},
        {"ListBeforeFmt", head().tag("LIST").u32(4).tag("INFO").fmt(1, 8000, 8).data(mono8).done(), {}, 5, 1, 8, 8000,
         mono8First},
        {"ChunksAfterDataIgnored", head().fmt(1, 8000, 8).data(mono8).tag("LIST").u32(0x7fffffff).done(), {}, 5, 1, 8,
         8000, mono8First},
        {"DataSizeZero", head().fmt(1, 8000, 8).data({}).done(), {}, 0, 1, 8, 8000, silence},
        {"PartialLastFrame", head().fmt(2, 8000, 16).data(Bytes(stereo16.begin(), stereo16.begin() + 10)).done(), {},
         2, 2, 16, 8000, {-1.0f, 0.0f, 0.0f, 0.0f}},

        // Sizes beyond the file.
        {"DataSizeBeyondFile", head().fmt(1, 8000, 8).tag("data").u32(1000).raw(mono8).done(), {}, 5, 1, 8, 8000,
         mono8First, {tooLong}},
        {"DataSizeAllOnes", head().fmt(1, 8000, 8).tag("data").u32(0xFFFFFFFF).raw(mono8).done(), {}, 5, 1, 8, 8000,
         mono8First, {tooLong}},
        {"PlaceholderDataSize", head().fmt(2, 8000, 16).tag("data").u32(16777215).raw(stereo16).done(), {}, 3, 2, 16,
         8000, stereo16First, {tooLong}},
        {"ChunkBeyondFile", head().fmt(1, 8000, 8).tag("junk").u32(0x7FFFFFFF).data(mono8).done(), {noData}, 0, 1, 8,
         8000, silence},
        {"ChunkSizeAllOnes", head().fmt(1, 8000, 8).tag("junk").u32(0xFFFFFFFF).data(mono8).done(), {noData}, 0, 1, 8,
         8000, silence},
        {"FmtSizeAllOnes", head().tag("fmt ").u32(0xFFFFFFFF).u16(1).u16(1).u32(8000).u32(8000).u16(1).u16(8)
                               .data(mono8).done(),
         {noData}, 0, 1, 8, 8000, silence},
        // The skip eats the "d" of "data": the walk reads "ata" as a chunk
        // and runs out of bytes for the next header.
        {"OddChunkWithoutPad", head().fmt(1, 8000, 8).tag("junk").u32(3).fill(3, 7).data(mono8).done(),
         {chunkHeaderShort}, 0, 1, 8, 8000, silence},

        // Formats we cannot play: one message, defaults, no frames.
        {"ZeroChannels", head().fmt(0, 8000, 16).data(stereo16).done(), {unsupported(0, 16)}, 0, 2, 16, 44100, silence},
        {"ZeroBits", head().fmt(1, 8000, 0).data(mono8).done(), {unsupported(1, 0)}, 0, 2, 16, 44100, silence},
        {"FourBits", head().fmt(1, 8000, 4).data(mono8).done(), {unsupported(1, 4)}, 0, 2, 16, 44100, silence},
        {"TwelveBits", head().fmt(1, 8000, 12).data(stereo16).done(), {unsupported(1, 12)}, 0, 2, 16, 44100, silence},
        {"TwentyFourBits", head().fmt(2, 8000, 24).data(stereo16).done(), {unsupported(2, 24)}, 0, 2, 16, 44100,
         silence},
        {"ThirtyTwoBits", head().fmt(1, 8000, 32).data(stereo16).done(), {unsupported(1, 32)}, 0, 2, 16, 44100,
         silence},
        {"TooManyChannels", head().fmt(300, 8000, 16).data(stereo16).done(), {unsupported(300, 16)}, 0, 2, 16, 44100,
         silence},
        {"LargestFields", head().fmt(65535, 0xFFFFFFFF, 65535).data(mono8).done(), {unsupported(65535, 65535)}, 0, 2,
         16, 44100, silence},
        {"RateZero", head().fmt(1, 0, 8).data(mono8).done(), {rateZero}, 0, 2, 16, 44100, silence},

        // Encodings other than PCM, whatever their sample size says: one
        // message naming the tag, and no frames.
        {"TagFloat", fmtTag(head(), 3, 1, 8000, 16).data(stereo16).done(), {unsupportedTag("0x0003", "IEEE float")}, 0,
         2, 16, 44100, silence},
        {"TagALaw", fmtTag(head(), 6, 1, 8000, 8).data(mono8).done(), {unsupportedTag("0x0006", "A-law")}, 0, 2, 16,
         44100, silence},
        {"TagMp3", fmtTag(head(), 0x55, 2, 44100, 16).data(stereo16).done(),
         {unsupportedTag("0x0055", "MPEG Layer 3")}, 0, 2, 16, 44100, silence},
        {"TagUnknown", fmtTag(head(), 0x1234, 1, 8000, 16).data(stereo16).done(),
         {unsupportedTag("0x1234", "not a known encoding")}, 0, 2, 16, 44100, silence},
        {"ExtensibleFloat", fmtExtensible(head(), subformat(3)).data(stereo16).done(),
         {unsupportedTag("0xFFFE", "extensible, subformat IEEE float")}, 0, 2, 16, 44100, silence},
        {"ExtensibleForeignGuid", fmtExtensible(head(), Bytes(16, 0x5A)).data(stereo16).done(),
         {unsupportedTag("0xFFFE", "extensible, subformat not a known encoding")}, 0, 2, 16, 44100, silence},
        {"ExtensibleCbSizeZero", fmtExtensible(head(), subformat(1), 0).data(stereo16).done(),
         {unsupportedTag("0xFFFE", "extensible, without its subformat")}, 0, 2, 16, 44100, silence},
    };
}
// clang-format on

class WaveFileMalformedTest : public WaveDirTest, public ::testing::WithParamInterface<Case> {};

std::vector<std::string> errorLines(const LogCapture& log) {
    std::vector<std::string> v;
    for (const std::string& l : log.all())
        if (l.rfind("ERROR: ", 0) == 0) v.push_back(l);
    return v;
}

TEST_P(WaveFileMalformedTest, OpensAsFarAsTheFileAllowsAndReadsSafely) {
    const Case& c = GetParam();
    writeFile("case.wav", c.bytes);
    WaveFileReader reader;
    reader.setFileName("case.wav");
    LogCapture log;
    reader.open();

    std::vector<std::string> want;
    for (const std::string& e : c.errors) want.push_back(LogCapture::error(e, 1));
    EXPECT_EQ(errorLines(log), want);
    EXPECT_EQ(log.errorHookLines().size(), c.errors.size()) << "level-1 errors reach the user";
    for (const std::string& d : c.debug) EXPECT_TRUE(log.contains("DEBUG: " + d + " (level:5)")) << d;

    EXPECT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.getLength(), c.length);
    EXPECT_EQ(reader.getFileFormat()->channels, c.channels);
    EXPECT_EQ(reader.getFileFormat()->bitsPerSample, c.bits);
    EXPECT_EQ(reader.getFileFormat()->sampleRate, c.rate);
    EXPECT_EQ(reader.available(1), c.length > 0 ? 1 : -1);

    // Whatever was in the buffer is overwritten: samples or silence.
    SampleBuffer buffer(2, 4);
    for (int ch = 0; ch < 2; ++ch)
        for (int f = 0; f < 4; ++f) buffer.getBuffer(ch)[f] = 0.25f;
    log.clear();
    EXPECT_EQ(reader.read(buffer, 0, 0.0f), std::min(c.length, 4));
    EXPECT_EQ(std::vector<float>(buffer.getBuffer(0), buffer.getBuffer(0) + 4), c.first);
    EXPECT_TRUE(errorLines(log).empty()) << "reading reports nothing";
    EXPECT_EQ(reader.getPosition(), std::min(c.length, 4));

    // To the end and past it: silence, count 0, and the reader stays usable.
    reader.setPosition(c.length);
    EXPECT_EQ(reader.read(buffer, 100, 0.0f), 0);
    EXPECT_EQ(std::vector<float>(buffer.getBuffer(1), buffer.getBuffer(1) + 4), silence);
    reader.setLoop(true);
    EXPECT_EQ(reader.read(buffer, 200, 0.0f), c.length > 0 ? 4 : 0) << "looping fills the chunk from the start";
    reader.close();
    EXPECT_FALSE(reader.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Corpus, WaveFileMalformedTest, ::testing::ValuesIn(corpus()),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

TEST(WaveFileMalformedCorpusTest, HasAtLeastFortyCases) { EXPECT_GE(corpus().size(), 40u); }

class WaveFileOpenFailureTest : public WaveDirTest {};

// What cannot be opened at all leaves the reader closed.
TEST_F(WaveFileOpenFailureTest, MissingNameMissingFileAndDirectory) {
    WaveFileReader reader;
    LogCapture log;
    reader.open();
    EXPECT_TRUE(log.hasError("No filename set !!", 1));
    EXPECT_FALSE(reader.isOpen());

    struct {
        std::string name, reason;
    } cases[] = {{"missing.wav", "No such file or directory"},
                 {"a-directory", "Is a directory"},
                 {"locked.wav", "Permission denied"}};
    fs::create_directory("a-directory");
    writeFile("locked.wav", Wav().riff().fmt(1, 8000, 8).data(mono8).done());
    fs::permissions("locked.wav", fs::perms::none);
    for (const auto& c : cases) {
        if (c.name == "locked.wav" && ::geteuid() == 0) continue; // root reads it anyway
        log.clear();
        reader.setFileName(c.name.c_str());
        reader.open();
        EXPECT_EQ(log.all(), std::vector<std::string>{
                                 LogCapture::error("Unable to open file '" + c.name + "': " + c.reason, 1)})
            << c.name;
        EXPECT_FALSE(reader.isOpen()) << c.name;
        EXPECT_EQ(reader.available(1), -1) << c.name;
        SampleBuffer buffer(1, 4);
        log.clear();
        EXPECT_EQ(reader.read(buffer, 0, 0.0f), 0);
        EXPECT_TRUE(log.hasError("read: error: file not opened", 3));
    }
}

} // namespace
