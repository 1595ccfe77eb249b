#pragma once
// File name and positioning, the base of the file readers and writers.
// Positions and lengths are in frames.

#include "core/AudioExtension.h"

#include <cstdint>
#include <string>

namespace sonabel {

class AudioFormat;

class AudioFile : public AudioExtension {
public:
    AudioFile();
    ~AudioFile() override;
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;

    // The file's format record.
    virtual AudioFormat* getFileFormat() = 0;
    virtual bool isSeekable() { return false; }
    // Moves to a frame, clamped to 0..length; returns the new position.
    virtual int32_t setPosition(int32_t frame);
    virtual int32_t getLength() { return 0; }
    virtual int32_t skip(int32_t frames);
    // Stores a copy; null is ignored.
    virtual void setFileName(const char* name);

    // Null until a name is set.
    const char* getFileName() const { return hasName ? fileName.c_str() : nullptr; }

protected:
    std::string fileName;
    bool hasName = false;
};

// File type 0 is WAVE of 8 and 16 bits; type 1 is libsndfile (every other
// sample size, extensible WAVE, FLAC, AIFF). Any other index gives null. The
// caller owns the result.
AudioFile* createFileReader(int fileType);
AudioFile* createFileWriter(int fileType);
// The reader for a file, not yet opened: the WAVE reader for what it plays,
// and for a RIFF WAVE file that libsndfile cannot read either (its report
// names the format); libsndfile's for everything else. When libsndfile
// takes a file the WAVE reader would refuse, handover says so in one line
// ("in.wav: 24-bit PCM, reading it through libsndfile"); else it is empty.
AudioFile* createFileReaderFor(const char* fileName, std::string& handover);

} // namespace sonabel
