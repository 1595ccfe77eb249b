#pragma once
// A file the renderer reads: the WAVE reader for the 8- and 16-bit WAVE
// files it plays, libsndfile's reader for everything else (the file
// factories choose). Opened once, read by the mixer, closed by it.

#include "core/AudioFile.h"

#include <cstdint>
#include <memory>
#include <string>

namespace sonabel {

class AudioReader;
class SndFileReader;
class WaveFileFormat;
class WaveFileReader;

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
    bool isOpen() const;

    AudioReader* reader() const;
    // Channels, rate and bits per sample (32 for float samples).
    const WaveFileFormat& format() const;
    // Whether the samples are floats.
    bool isFloat() const;
    int32_t getLength() const;
    // Bytes of audio the file holds, and whether positions reach them all.
    int64_t getDataBytes() const;
    bool beyondReach() const;
    // The first read that came back short: its frame (-1 when none) and why.
    int32_t getReadErrorFrame() const;
    std::string getReadError() const;

private:
    std::unique_ptr<AudioFile> file;
    WaveFileReader* wave = nullptr; // file, when the WAVE reader reads it
    SndFileReader* other = nullptr; // file, when libsndfile reads it
};

} // namespace sonabel
