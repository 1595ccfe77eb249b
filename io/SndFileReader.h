#pragma once
// A file that libsndfile reads (24- and 32-bit PCM, float, extensible WAVE,
// FLAC, AIFF and whatever else it knows) as one of the mixer's inputs. It
// keeps the contract of the WAVE reader: the same call sequence, positions,
// looping, repeated chunks and reports.
//
// Call sequence: setFileName, setLoop (any time), open (keeps the file
// open), start, read once per chunk on the ticker thread, setPosition/skip
// between reads, stop, close. A file libsndfile cannot read, or one with no
// channels or more than the engine holds, is reported once at open with the
// reason; the reader then stays closed, and read gives nothing.
//
// Positions and lengths are frames. A file of more than INT32_MAX frames is
// read up to that frame; getFrameCount tells how many it holds.
//
// Samples are decoded in the reader, so every sample type reaches the chunk
// with the same scale (see SndFileFormat). libsndfile buffers the file
// itself; read allocates only when a chunk outgrows the last.

#include "core/AudioFile.h"
#include "core/AudioReader.h"
#include "io/SndFileFormat.h"

#include <atomic>
#include <cstdint>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace sonabel {

class SndFileReader : public AudioFile, public AudioReader {
public:
    SndFileReader();
    ~SndFileReader() override;

    // AudioFile side.
    const char* getName() override { return "libsndfile"; }
    const char* getDescription() override {
        return "Extension for reading WAVE, FLAC and AIFF files of any sample size through libsndfile.";
    }
    SndFileFormat* getFileFormat() override { return format; }
    bool isSeekable() override { return true; }
    // Clamped to 0..getLength(); moves the file to that frame when open.
    int32_t setPosition(int32_t frame) override;
    int32_t getLength() override { return sampleCount; }
    int32_t skip(int32_t frames) override;
    // At the end of the file, jump back to frame 0 without a gap. Any thread.
    virtual void setLoop(bool loop) { looping.store(loop); }
    virtual bool isLoop() { return looping.load(); }

    // AudioReader side.
    SndFileFormat* getAudioFormat() override { return format; }
    // Frames left, at most `frames`; -1 once the end has been reached.
    int32_t available(int32_t frames) override;
    void open() override;
    void close() override;
    bool isOpen() override { return file != nullptr; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started.load(); }
    // Asked again for the readPos of the last disk read with no more frames
    // than it decoded, repeats that chunk without touching the file or the
    // position.
    int32_t read(SampleBuffer& buffer, int32_t readPos, float srcFactor) override;

    // Frames the file holds, in 64 bits (beyond INT32_MAX getLength stops).
    // 0 while closed.
    int64_t getFrameCount() const { return frameCount; }
    // The first read since open that came back short before the end of the
    // file: the frame at which it happened, -1 when none; and the reason
    // ("unexpected end of file" when the file holds fewer frames than its
    // header says).
    int32_t getReadErrorFrame() const { return readErrorFrame; }
    const char* getReadError() const { return readError; }

private:
    // Reads n frames at the file's position into inBuffer from frame `at`;
    // returns the frames that came.
    int32_t readFrames(int32_t at, int32_t n);

    SNDFILE* file = nullptr;
    SndFileFormat* format;
    // Interleaved samples of the last disk read, already scaled.
    std::vector<float> inBuffer;
    // libsndfile's integers, before scaling (PCM files only).
    std::vector<int32_t> rawBuffer;
    std::atomic<bool> started{false};
    std::atomic<bool> looping{false};
    int32_t inBufferPos = 0;  // readPos of the last disk read
    int32_t inBufferUsed = 0; // frames decoded from inBuffer by the last read
    int32_t inBufferReal = 0; // frames of inBuffer that came from the file
    int32_t sampleCount = 0;
    int64_t frameCount = 0;
    int32_t readErrorFrame = -1;
    char readError[128] = {};
};

} // namespace sonabel
