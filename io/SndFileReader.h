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
//
// A stream (standard input, a named pipe) is read through a Source instead
// of a file name: openStream instead of open. Its frames are read in order
// until the stream ends, whatever its header says of its length; it cannot
// be moved or looped. getHeaderFrames keeps what its header says of its
// length. libsndfile's FLAC decoder skips a frame it cannot decode, and ends
// a stream cut inside a frame, without an error of the library's: what it
// logs then is a read error here too.

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
    // Bytes that come in order, for libsndfile's virtual I/O. A source may
    // keep the first bytes so that a header can be read twice, but nothing
    // after them: a seek beyond what it can give fails.
    class Source {
    public:
        virtual ~Source() = default;
        // Copies up to count bytes into `to`; fewer only at the end (or on
        // an error the source keeps for its owner).
        virtual int64_t read(void* to, int64_t count) = 0;
        // whence is SEEK_SET, SEEK_CUR or SEEK_END; the new position, or -1.
        virtual int64_t seek(int64_t offset, int whence) = 0;
        virtual int64_t tell() = 0;
    };

    SndFileReader();
    ~SndFileReader() override;

    // AudioFile side.
    const char* getName() override { return "libsndfile"; }
    const char* getDescription() override {
        return "Extension for reading WAVE, FLAC and AIFF files of any sample size through libsndfile.";
    }
    SndFileFormat* getFileFormat() override { return format; }
    bool isSeekable() override { return source == nullptr; }
    // Clamped to 0..getLength(); moves the file to that frame when open. A
    // stream stays where it is.
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
    // Opens the stream the source gives (not owned; it must outlive the
    // reader's close). The file name set before only names it in messages.
    // Reported as open reports; afterwards open() leaves the stream as it is.
    void openStream(Source* stream);
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
    // 0 while closed. A stream claims INT32_MAX until its end is read.
    int64_t getFrameCount() const { return frameCount; }
    // The first read since open that came back short before the end of the
    // file: the frame at which it happened, -1 when none; and the reason
    // ("unexpected end of file" when the file holds fewer frames than its
    // header says).
    int32_t getReadErrorFrame() const { return readErrorFrame; }
    const char* getReadError() const { return readError; }
    // A stream's length as its header states it, through libsndfile: a size
    // the header leaves unstated comes out of the unknown length as a huge
    // count, and FLAC's total of 0 as SF_COUNT_MAX. 0 for a file.
    int64_t getHeaderFrames() const { return headerFrames; }

private:
    // Reads n frames at the file's position into inBuffer from frame `at`;
    // returns the frames that came.
    int32_t readFrames(int32_t at, int32_t n);
    // What open and openStream share once libsndfile has the file.
    // False (reported, closed) when the engine cannot play that format.
    bool takeInfo(int sndFileFormat, int channels, int rate, int64_t frames);
    // After a read of a FLAC stream that went from frame `from` to `to`:
    // the decoder's complaints that reached libsndfile's log since the last
    // look become the read error (at `from`; a cut frame at `to`).
    void checkDecoderLog(int32_t from, int32_t to);

    SNDFILE* file = nullptr;
    Source* source = nullptr; // while a stream is open
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
    int64_t headerFrames = 0;
    std::vector<char> decoderLog; // a FLAC stream's, sized at openStream
    size_t decoderLogSeen = 0;    // bytes of the log looked at
};

} // namespace sonabel
