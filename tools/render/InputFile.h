#pragma once
// A file the renderer reads: the WAVE reader for the 8- and 16-bit WAVE
// files it plays, libsndfile's reader for everything else (the file
// factories choose). Opened once, read by the mixer, closed by it.
//
// A stream (standard input, a named pipe) is read in order instead, as it
// comes: a WAVE by the WAVE stream reader, anything else by libsndfile's
// reader through its virtual I/O. Its length is known once it has ended.

#include "core/AudioFile.h"

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sonabel {

class AudioReader;
class SndFileReader;
class StreamSource;
class WaveFileFormat;
class WaveFileReader;
class WaveStreamReader;

class InputFile {
public:
    InputFile();
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Chooses the reader and opens the file; what goes wrong is reported
    // through the log. handover gets the line that says libsndfile reads
    // the file, or stays empty.
    void open(const std::string& name, std::string& handover);
    enum class StreamOpen { Opened, Failed, Spool };
    // Reads the stream on fd (not owned) in order; name is how messages
    // call it. Failed with the reason in error; Spool when no reader can
    // take it in order but every byte taken is still kept: the caller copies
    // spoolHead() and the rest of fd to a file and opens that. handover as
    // for open. A read that a signal interrupts while *stop is set ends the
    // stream.
    StreamOpen openStream(int fd, const std::string& name, std::string& handover, std::string& error,
                          const volatile std::sig_atomic_t* stop = nullptr);
    const std::vector<uint8_t>& spoolHead() const;
    bool isOpen() const;
    bool isStream() const { return stream != nullptr; }
    // A stream's frames so far, and whether it has ended.
    int64_t getFramesRead() const;
    bool hasEnded() const;

    AudioReader* reader() const;
    // Channels, rate and bits per sample (32 for float samples).
    const WaveFileFormat& format() const;
    // Whether the samples are floats.
    bool isFloat() const;
    // Frames of a file; 0 for a stream (see getFramesRead).
    int32_t getLength() const;
    // Bytes of audio the file holds, and whether positions reach them all.
    int64_t getDataBytes() const;
    bool beyondReach() const;
    // The first read that came back short: its frame (-1 when none) and why.
    int64_t getReadErrorFrame() const;
    std::string getReadError() const;

private:
    // Whether a PCM stream that libsndfile read ended inside a frame.
    bool endsInsideFrame() const;
    // Whether a stream that libsndfile read ended before the frames its
    // header claims.
    bool endsEarly() const;
    // Whether a stream that libsndfile read went on past the last frame its
    // reader can count.
    bool beyondLongest() const;

    // First, so that it outlives the readers that read it.
    std::unique_ptr<StreamSource> stream;
    int64_t streamDataStart = 0; // byte of a libsndfile stream's first frame
    int64_t claimedFrames = -1;  // what its header claims; -1: nothing, or a writer's guess
    std::unique_ptr<AudioFile> file;
    WaveFileReader* wave = nullptr; // file, when the WAVE reader reads it
    SndFileReader* other = nullptr; // file, when libsndfile reads it
    std::unique_ptr<WaveStreamReader> waveStream;
};

} // namespace sonabel
