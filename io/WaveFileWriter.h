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

    // The data size the header claims while a file is open.
    static constexpr uint32_t placeholderDataSize = 16777215;
    static constexpr int32_t headerSize = 44;

private:
    // Writes the 44-byte header for n data bytes at offset 0.
    bool writeHeader(uint32_t n);

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
};

} // namespace sonabel
