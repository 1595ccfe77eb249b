#pragma once
// A RIFF WAVE file as one of the mixer's inputs.
//
// Call sequence: setFileName, setLoop (any time), open (walks the chunks and
// keeps the file open), start, read once per chunk on the ticker thread,
// setPosition/skip between reads, stop, close. open never fails half-way: a
// malformed file leaves the reader open with whatever the walk established,
// and a file with nothing playable gives getLength 0, available -1 and
// silence from read.
//
// Positions and lengths are frames. Byte offsets stay below 2 GB: a longer
// file is read up to that limit, and getDataBytes tells how much it holds.
//
// The file is read through a 64 KiB buffer, so a read of one chunk costs a
// system call only every few chunks; a seek within what that buffer holds
// (looping over a short file) costs none.
//
// Only PCM is read: format tag 1, or WAVE_FORMAT_EXTENSIBLE with the PCM
// subformat. Another tag, an unplayable sample size or channel count, or a
// sample rate of 0 is reported once at open, and the file gives no frames.

#include "core/AudioFile.h"
#include "core/AudioReader.h"
#include "io/WaveFileFormat.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace sonabel {

class AudioCodec;

class WaveFileReader : public AudioFile, public AudioReader {
public:
    WaveFileReader();
    ~WaveFileReader() override;

    // AudioFile side.
    const char* getName() override { return "MS Wave"; }
    const char* getDescription() override { return "Extension for reading Microsoft WAVE files."; }
    WaveFileFormat* getFileFormat() override { return format; }
    bool isSeekable() override { return true; }
    // Clamped to 0..getLength(); moves the file to that frame when open.
    int32_t setPosition(int32_t frame) override;
    int32_t getLength() override { return sampleCount; }
    int32_t skip(int32_t frames) override;
    // At the end of the data, jump back to frame 0 without a gap.
    // Any thread: the interface switches it while the ticker reads.
    virtual void setLoop(bool loop) { looping.store(loop); }
    virtual bool isLoop() { return looping.load(); }

    // AudioReader side.
    WaveFileFormat* getAudioFormat() override { return format; }
    // Frames left, at most `frames`; -1 once the end has been reached.
    int32_t available(int32_t frames) override;
    void open() override;
    void close() override;
    bool isOpen() override { return file != nullptr; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started.load(); }
    // Asked again for the readPos of the last disk read with no more frames
    // than it decoded, repeats that chunk without touching the disk or the
    // position.
    int32_t read(SampleBuffer& buffer, int32_t readPos, float srcFactor) override;

    // Bytes of frame data the file holds (the "data" size, or what is present
    // when the file is shorter), in 64 bits: beyond 2 GB this is more than
    // getLength frames reach. 0 while closed.
    int64_t getDataBytes() const { return dataBytes; }

    // Bytes the reader asks of the system at a time.
    static constexpr int32_t diskBlockBytes = 65536;
    // The first read since open that the disk cut short before the end of the
    // data: the frame at which it happened, -1 when none; and the system's
    // reason ("unexpected end of file" when the file shrank).
    int32_t getReadErrorFrame() const { return readErrorFrame; }
    const char* getReadError() const { return readError; }

private:
    void readRIFF();
    // Returns false when the chunk could not be used (too small, short read).
    bool readFormatChunk(uint32_t size);
    // Whether a "fmt " record with that tag holds PCM; for
    // WAVE_FORMAT_EXTENSIBLE it reads the subformat from the rest of the
    // chunk (`extra` bytes after the first 16). Otherwise it names what the
    // tag holds in `what`.
    bool isPcm(uint16_t tag, uint32_t extra, char* what, size_t capacity);
    // Moves forward over a chunk body of that size plus its pad byte. False
    // when that reaches the end of the file (the walk is then over).
    bool skipChunk(uint32_t size);
    bool seekTo(int64_t offset);
    int64_t tell();

    AudioCodec* decoder = nullptr;
    std::FILE* file = nullptr;
    char* fileBuffer = nullptr; // stdio's buffer for file, freed after it is closed
    uint8_t* inBuffer = nullptr;
    int32_t inBufferSize = 0; // bytes
    WaveFileFormat* format;
    // Read by the interface's position refresh while the ticker reads.
    std::atomic<bool> started{false};
    int32_t inBufferPos = 0;  // readPos of the last disk read
    int32_t inBufferUsed = 0; // frames decoded from inBuffer by the last read
    int32_t inBufferReal = 0; // frames of inBuffer that came from the file
    int32_t sampleCount = 0;
    int32_t dataStart = -1; // byte offset of frame 0; -1 while closed or unknown
    std::atomic<bool> looping{false};

    // Set while the walk runs: the file's length in bytes, capped at 2 GB,
    // and whether the "fmt " record describes something we can decode.
    int64_t fileLength = 0;
    bool formatSupported = true;

    int64_t dataBytes = 0;
    int32_t readErrorFrame = -1;
    char readError[128] = {};
};

} // namespace sonabel
