#pragma once
// Reads a RIFF WAVE stream in order, as it comes through a pipe: the header
// chunk by chunk up to "data", then frames until the stream ends. A writer
// on a pipe cannot go back to its header, so a "data" size of 0 or
// 0xFFFFFFFF, or a guess of 2 GB or more (StreamSource::guessedDataBytes),
// means "read to the end"; a smaller one ends the frames there, and a stream
// that ends before it was cut (an error, as a stream cut inside a frame).
// Memory stays one chunk's worth.
//
// Samples reach the chunk as the file readers give them: 8- and 16-bit PCM
// through the PCM codec, as the WAVE reader decodes them, and 24- and 32-bit
// PCM and 32- and 64-bit float as libsndfile's reader scales them, so a
// stream renders to the same bits as the same file.
//
// Call sequence: readHeader (false with the reason when the stream is not a
// WAVE of those sample types, or ends inside its header), then the
// mixer's open, start, read once per chunk, stop, close. Frames that
// end inside a frame are an error: getReadErrorFrame says where.
// Positions are frames; the stream cannot be moved or looped.

#include "core/AudioReader.h"
#include "io/SndFileFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sonabel {

class AudioCodec;
class StreamSource;

class WaveStreamReader : public AudioReader {
public:
    // The source is not owned and outlives the reader.
    explicit WaveStreamReader(StreamSource& source);
    ~WaveStreamReader() override;

    // Whether the bytes begin a RIFF WAVE stream (this reader's or not).
    static bool isWave(const std::vector<uint8_t>& head);
    // Walks the header up to the first frame. False with the reason: the
    // stream ends inside it, the chunks do not make a WAVE, or the samples
    // are of a type it does not decode (unsupported is then true: libsndfile
    // may still read them).
    bool readHeader(std::string& error, bool& unsupported);

    SndFileFormat* getAudioFormat() override { return &format; }
    // Frames at most `frames` until the stream has ended; -1 afterwards.
    int32_t available(int32_t frames) override;
    // The header is read already: nothing to do.
    void open() override {}
    void close() override;
    bool isOpen() override { return opened; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started; }
    // Blocks until the chunk's frames came or the stream ended; the rest of
    // the chunk is silence. Asked again for the same readPos, repeats it.
    int32_t read(SampleBuffer& buffer, int32_t readPos, float srcFactor) override;

    // Frames delivered so far; once ended, the stream's length.
    int64_t getFramesRead() const { return framesRead; }
    bool hasEnded() const { return ended; }
    // Where the stream broke (inside a frame, or a failed read), -1 when it
    // did not; and why.
    int64_t getReadErrorFrame() const { return readErrorFrame; }
    const std::string& getReadError() const { return readError; }

private:
    // Reads exactly count bytes; false when the stream ended first (got says
    // how many came).
    bool readExactly(uint8_t* to, int64_t count, int64_t& got);
    bool skipBytes(int64_t count);
    // Interleaved samples of n frames in `bytes` to floats in `samples`.
    void decodeWide(int32_t n);

    StreamSource& source;
    SndFileFormat format;
    AudioCodec* codec = nullptr; // 8 and 16 bits
    std::vector<uint8_t> bytes;
    std::vector<float> samples; // wider types, interleaved
    int64_t dataLeft = -1;      // bytes of "data" still to come; -1: to the end
    int64_t claimedFrames = -1; // what "data" claims, unless a writer's guess; -1: nothing
    int frameBytes = 0;         // bytes of a frame in the stream
    int64_t framesRead = 0;
    int32_t lastPos = -1;  // readPos of the last read
    int32_t lastReal = 0;  // frames of it that came from the stream
    int32_t lastCount = 0; // frames it decoded
    bool opened = false;
    bool started = false;
    bool ended = false;
    int64_t readErrorFrame = -1;
    std::string readError;
};

} // namespace sonabel
