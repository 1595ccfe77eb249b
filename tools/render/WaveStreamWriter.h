#pragma once
// Writes a RIFF WAVE stream to a descriptor that cannot seek (standard
// output into a pipe), as a file writer would write a file, but without
// ever going back: the header goes out first, with the sizes the stream
// will have when they are known (setExpectedFrames), else 0xFFFFFFFF,
// which readers take as "read to the end"; each chunk follows as it comes.
//
// Call sequence: setAudioFormat, setBitsPerSample and setExpectedFrames
// while closed; open (writes the header); write once per chunk on the
// ticker thread; close. A short write (the reader went away, a full disk)
// is reported once at level 1 with the system's reason; later chunks are
// dropped.

#include "core/AudioWriter.h"
#include "io/WaveFileFormat.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace sonabel {

class AudioCodec;

class WaveStreamWriter : public AudioWriter {
public:
    // fd is not owned.
    explicit WaveStreamWriter(int fd);
    ~WaveStreamWriter() override;

    // How the log calls the stream ("standard output" until set).
    void setName(const std::string& shown) { name = shown; }
    // 8 or 16.
    void setBitsPerSample(int bits) { format.bitsPerSample = bits; }
    // The frames the stream will hold, for the header; -1: unknown.
    void setExpectedFrames(int64_t frames) { expectedFrames = frames; }

    WaveFileFormat* getAudioFormat() override { return &format; }
    int32_t available(int32_t frames) override { return frames; }
    void open() override;
    // Ends the data on an even byte, as RIFF wants.
    void close() override;
    bool isOpen() override { return opened; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started.load(); }
    void setAudioFormat(const AudioFormat& newFormat) override;
    void write(SampleBuffer& buffer) override;

    // Frames written whole.
    int64_t getLength() const { return written; }
    // Samples clipped to full scale so far.
    int64_t getClipped() const { return clipped; }
    // The system's reason for the first short write; empty when none.
    const char* getWriteError() const { return writeError; }

    static constexpr int32_t headerSize = 44;
    static constexpr uint32_t unknownSize = 0xFFFFFFFF;

private:
    // Writes all of it, continuing short writes; false with writeError set.
    bool writeAll(const uint8_t* bytes, size_t count);

    int fd;
    std::string name = "standard output";
    WaveFileFormat format;
    AudioCodec* encoder = nullptr;
    std::vector<uint8_t> bytes; // grows to the largest chunk, at open or the first write
    int64_t expectedFrames = -1;
    int64_t written = 0;
    int64_t clipped = 0;
    bool opened = false;
    std::atomic<bool> started{false};
    char writeError[128] = {};
};

} // namespace sonabel
