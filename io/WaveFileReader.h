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
// file is read up to that limit.

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

private:
    void readRIFF();
    // Returns false when the chunk could not be used (too small, short read).
    bool readFormatChunk(uint32_t size);
    // Moves forward over a chunk body of that size plus its pad byte. False
    // when that reaches the end of the file (the walk is then over).
    bool skipChunk(uint32_t size);
    bool seekTo(int64_t offset);
    int64_t tell();

    AudioCodec* decoder = nullptr;
    std::FILE* file = nullptr;
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
};

} // namespace sonabel
