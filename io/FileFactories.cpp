// The file types the panels and the tools can choose: index 0, WAVE of 8
// and 16 bits, and index 1, libsndfile, for every other sample size,
// extensible WAVE, FLAC and AIFF.

#include "core/AudioFile.h"
#include "io/SndFileReader.h"
#include "io/SndFileWriter.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"

#include "io/SndFileLibrary.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace sonabel {

namespace {

enum class WaveKind { NotWave, Plays, Refuses };

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Whether the WAVE reader plays the file, refuses its sample format, or
// finds no RIFF WAVE file at all. Only the "fmt " record is looked at: a
// file with none, or with a broken chunk walk, is the WAVE reader's to
// report.
WaveKind sniffWave(const char* name) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name, "rb"), &std::fclose);
    if (!file) return WaveKind::NotWave;
    uint8_t header[12];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header ||
        FourCC(get32(header)) != FOURCC_RIFF || FourCC(get32(header + 8)) != FOURCC_WAVE)
        return WaveKind::NotWave;
    // A bounded walk: a file of nothing but empty chunks ends it too.
    for (int chunks = 0; chunks < 4096; ++chunks) {
        uint8_t chunk[8];
        if (std::fread(chunk, 1, sizeof chunk, file.get()) != sizeof chunk) return WaveKind::Plays;
        const FourCC id(get32(chunk));
        const uint32_t size = get32(chunk + 4);
        if (id == FOURCC_DATA) return WaveKind::Plays;
        if (id != FOURCC_FMT) {
            const long skip = static_cast<long>((static_cast<uint64_t>(size) + 1) & ~uint64_t{1});
            if (std::fseek(file.get(), skip, SEEK_CUR) != 0) return WaveKind::Plays;
            continue;
        }
        // Tag, then bits at 14; an extensible record's subformat at 24.
        uint8_t record[40] = {};
        const size_t got = std::fread(record, 1, size < sizeof record ? size : sizeof record, file.get());
        if (got < 16) return WaveKind::Plays;
        uint16_t tag = static_cast<uint16_t>(record[0] | (record[1] << 8));
        const int bits = record[14] | (record[15] << 8);
        if (tag == 0xFFFE && got >= 40) {
            static const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
            if (std::memcmp(record + 26, tail, sizeof tail) == 0)
                tag = static_cast<uint16_t>(record[24] | (record[25] << 8));
        }
        return tag == 1 && (bits == 8 || bits == 16) ? WaveKind::Plays : WaveKind::Refuses;
    }
    return WaveKind::Plays;
}

} // namespace

AudioFile* createFileReader(int fileType) {
    if (fileType == 0) return new WaveFileReader;
    if (fileType == 1) return new SndFileReader;
    return nullptr;
}

AudioFile* createFileWriter(int fileType) {
    if (fileType == 0) return new WaveFileWriter;
    if (fileType == 1) return new SndFileWriter;
    return nullptr;
}

AudioFile* createFileReaderFor(const char* fileName, std::string& handover) {
    handover.clear();
    if (!fileName) return new WaveFileReader;
    const WaveKind kind = sniffWave(fileName);
    if (kind == WaveKind::Plays) return new WaveFileReader;
    // Asked quietly here; the reader's own open reports what goes wrong.
    // libsndfile is loaded only now, for a file the WAVE reader cannot play.
    SndFileLibrary& sndfile = SndFileLibrary::instance();
    SF_INFO info{};
    if (SNDFILE* probe = sndfile.load() ? sndfile.open(fileName, SFM_READ, &info) : nullptr) {
        sndfile.close(probe);
        SndFileFormat format;
        format.fromSndFile(info.format);
        handover = std::string(fileName) + ": " + format.describe() + ", reading it through libsndfile";
        return new SndFileReader;
    }
    // A WAVE file that neither can read: the WAVE reader names its format tag.
    if (kind == WaveKind::Refuses) return new WaveFileReader;
    return new SndFileReader;
}

} // namespace sonabel
