#pragma once
// Records the processed audio into a RIFF WAVE file.
//
// Call sequence: setFileName, setBitsPerSample and setAudioFormat while
// closed, open (creates the file and writes a 44-byte header with
// placeholder sizes), start, write once per chunk on the ticker thread,
// stop, close (appends the pad byte and patches the real sizes into the
// header). The destructor closes, so an open file is always completed.
//
// A recording must survive a crash: the file is unbuffered, so every chunk
// is with the kernel once write returns, and while open the header claims
// more data than the file holds, so a reader that takes the length from the
// bytes present recovers everything up to the last chunk. Once the data outgrows the placeholder
// the header is rewritten once with the largest size that fits.
//
// Data is limited to what 32-bit offsets reach (2 GB); the rest of a longer
// recording is refused with a report.
//
// A rendered file, which is written under a temporary name and renamed
// only when complete, need not survive a crash: setBatched(true) gathers the
// chunks and hands them to the system in blocks of at least batchBytes, one
// call per block instead of one per chunk. Pending frames count in the
// position and the length; flush (and close) write them. After the first
// short write of a file every further chunk goes out on its own again, so
// from then on the length counts only what is on disk.
//
// A write the disk cuts short (a full disk) is reported once per file at
// level 1 with the system's reason, which getWriteError keeps. close then
// leaves a valid file of the whole frames that reached the disk: a partial
// frame is cut off and the header states what is there.

#include "io/AudioFileWriter.h"
#include "io/WaveFileFormat.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace sonabel {

class AudioCodec;

class WaveFileWriter : public virtual AudioFileWriter {
public:
    WaveFileWriter();
    ~WaveFileWriter() override;

    // AudioFile side.
    const char* getName() override { return "MS Wave"; }
    const char* getDescription() override { return "Extension for writing Microsoft WAVE files."; }
    WaveFileFormat* getFileFormat() override { return format; }
    bool isSeekable() override { return true; }
    // Clamped to 0..getLength(); the next write overwrites from there.
    int32_t setPosition(int32_t frame) override;
    // Frames in the file: the furthest position written.
    int32_t getLength() override { return sampleCount; }
    int32_t skip(int32_t frames) override;
    // 8 or 16; refused with a report while a file is open.
    void setBitsPerSample(int bits) override;
    void setEncoding(FourCC encoding) override { format->setEncoding(encoding); }
    int32_t getEncodingCount() override { return 1; }
    FourCC getEncoding(int32_t) override { return ENCODING_PCM; }

    // AudioWriter side.
    WaveFileFormat* getAudioFormat() override { return format; }
    int32_t available(int32_t frames) override { return frames; }
    void open() override;
    void close() override;
    bool isOpen() override { return file != nullptr; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started.load(); }
    // Channels and rate for the next file; a different format while a file
    // is open is refused with a report, so the header matches the data.
    void setAudioFormat(const AudioFormat& newFormat) override;
    // Appends currCount frames at the position; the position advances by
    // the frames the disk accepted.
    void write(SampleBuffer& buffer) override;

    // The system's reason for the first write of this file that the disk cut
    // short ("No space left on device"); empty when none.
    const char* getWriteError() const { return writeError; }

    // Off by default (one write per chunk, for recordings). Switching it off
    // writes what is pending.
    void setBatched(bool on);
    bool isBatched() const { return batched; }
    // Writes the pending frames; false when the disk took fewer (reported
    // like a short write). True with nothing pending or nothing open.
    bool flush();

    // Smallest block the batched writer hands to the system.
    static constexpr int32_t batchBytes = 65536;

    // The data size the header claims while a file is open.
    static constexpr uint32_t placeholderDataSize = 16777215;
    static constexpr int32_t headerSize = 44;

private:
    // Writes the 44-byte header for n data bytes at offset 0.
    bool writeHeader(uint32_t n);
    // The first short write of a file is reported at level 1 with the
    // system's reason; the position goes back to the last whole frame on disk.
    void reportShortWrite(int reason);


    AudioCodec* encoder = nullptr;
    std::FILE* file = nullptr;
    uint8_t* outBuffer = nullptr;
    WaveFileFormat* format;
    // Written by the ticker (write starts the writer), read by the
    // interface's position refresh.
    std::atomic<bool> started{false};
    int32_t outBufferSize = 0; // bytes
    int32_t sampleCount = 0;
    int32_t dataStart = -1;
    // Data bytes the header on disk claims; 0 while closed.
    uint32_t headerDataSize = 0;
    bool fullReported = false;
    char writeError[128] = {};

    bool batched = false;
    // While batching outBuffer holds the pending bytes, pendingBytes of them,
    // which belong at frame pendingStart; sampleCount was pendingBase before.
    int32_t pendingBytes = 0;
    int32_t pendingStart = 0;
    int32_t pendingBase = 0;
};

} // namespace sonabel
