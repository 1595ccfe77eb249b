#pragma once
// Records the processed audio into a WAVE, FLAC or AIFF file of 8- to
// 32-bit PCM or 32-bit float samples through libsndfile. It keeps the
// contract of the WAVE writer: the same call sequence, positions, reports
// and short writes.
//
// Call sequence: setFileName, setContainer, setBitsPerSample (and
// setEncoding(ENCODING_FLOAT) for float samples) and setAudioFormat while
// closed, open (creates the file and writes its header), start, write once
// per chunk on the ticker thread, stop, close (completes the header). The
// destructor closes, so an open file is always completed.
//
// A recording must survive a crash: unless batched, each chunk goes to the
// system when write returns, and a WAVE or AIFF header is brought up to
// date after every chunk, so the file on disk is always complete. A FLAC
// encoder holds up to one block (4096 frames) until it is full, and writes
// the total length at close; FLAC readers take a length of 0 as unknown.
//
// A rendered file, written under a temporary name and renamed when
// complete, need not survive a crash: setBatched(true) gathers the chunks
// into blocks of at least batchBytes and leaves the header to close.
//
// A write the disk cuts short is reported once per file at level 1 with the
// system's reason, which getWriteError keeps; the length counts only what
// libsndfile took.
//
// Samples are encoded here (see SndFileFormat), so values beyond full scale
// are clipped the same way for every integer sample size; float files keep
// them as they are.

#include "io/AudioFileWriter.h"
#include "io/SndFileFormat.h"

#include <atomic>
#include <cstdint>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace sonabel {

class SndFileWriter : public virtual AudioFileWriter {
public:
    SndFileWriter();
    ~SndFileWriter() override;

    // AudioFile side.
    const char* getName() override { return "libsndfile"; }
    const char* getDescription() override {
        return "Extension for writing WAVE, FLAC and AIFF files of any sample size through libsndfile.";
    }
    SndFileFormat* getFileFormat() override { return format; }
    // FLAC is written front to back only.
    bool isSeekable() override { return format->container != SndFileFormat::Flac; }
    // Clamped to 0..getLength(); the next write overwrites from there. A
    // FLAC file stays at its end.
    int32_t setPosition(int32_t frame) override;
    int32_t getLength() override { return sampleCount; }
    int32_t skip(int32_t frames) override;
    // 8, 16, 24 or 32; refused with a report while a file is open.
    void setBitsPerSample(int bits) override;
    // ENCODING_PCM, or ENCODING_FLOAT (32 bits); refused while open.
    void setEncoding(FourCC encoding) override;
    int32_t getEncodingCount() override { return 2; }
    FourCC getEncoding(int32_t index) override { return index == 1 ? ENCODING_FLOAT : ENCODING_PCM; }
    // WAVE by default; refused while open.
    void setContainer(SndFileFormat::Container container);

    // AudioWriter side.
    SndFileFormat* getAudioFormat() override { return format; }
    int32_t available(int32_t frames) override { return frames; }
    void open() override;
    void close() override;
    bool isOpen() override { return file != nullptr; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started.load(); }
    // Channels and rate for the next file; a different format while a file
    // is open is refused with a report.
    void setAudioFormat(const AudioFormat& newFormat) override;
    // Encodes currCount frames and writes them at the position.
    void write(SampleBuffer& buffer) override;

    // The system's reason for the first short write of this file; empty
    // when none.
    const char* getWriteError() const { return writeError; }
    // Off by default (one write per chunk, for recordings).
    void setBatched(bool on);
    bool isBatched() const { return batched; }
    // Writes the pending frames; false when the disk took fewer.
    bool flush();

    // Smallest block the batched writer hands to libsndfile.
    static constexpr int32_t batchBytes = 65536;

private:
    // Encodes the buffer's window into `frames` interleaved frames at `at`.
    void encode(SampleBuffer& buffer, size_t at, int32_t frames);
    // Writes `frames` frames from the front of the pending buffer at frame
    // `at` of the file; returns the frames written, reporting a short write.
    int32_t writeOut(int32_t at, int32_t frames);

    SNDFILE* file = nullptr;
    SndFileFormat* format;
    std::atomic<bool> started{false};
    bool batched = false;
    // Encoded frames waiting for the disk: libsndfile's left-justified
    // integers, or floats for a float file.
    std::vector<int32_t> pendingInts;
    std::vector<float> pendingFloats;
    int32_t pendingFrames = 0;
    int32_t pendingBase = 0; // sampleCount before the first pending frame
    int32_t sampleCount = 0;
    char writeError[128] = {};
};

} // namespace sonabel
